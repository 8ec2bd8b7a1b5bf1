#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <tuple>

#include <QByteArray>

namespace quorval {

struct MqttMessage {
    QByteArray topic;
    QByteArray payload;
    bool retain = true;
};

// What stays on the broker, in the order it goes out after a (re)connect.
enum class Retained { Status, Link, Round, Module, Discovery };

// What waits for the broker, bounded whatever the broker does: a retained
// topic holds only its last value, so the state costs one message per topic
// however long the broker is away; events wait at most kMaxEvents, the oldest
// dropped first. Nothing here talks to the network.
class PublishQueue {
  public:
    static constexpr std::size_t kMaxEvents = 1000;

    // The topic's value from now on; a value not yet handed over is replaced.
    void SetRetained(Retained kind, const QByteArray& topic, const QByteArray& payload);
    void AddEvent(const QByteArray& topic, const QByteArray& payload);
    // Every retained value goes out again (after a (re)connect), or those of one kind.
    void ResendAll();
    void Resend(Retained kind);
    // A message handed back because the client could not take it: first again.
    void PutBack(const MqttMessage& m);

    // Retained values first, in the order of their kinds and then of their
    // topics' first values; then events, oldest first.
    std::optional<MqttMessage> Next();
    bool Empty() const { return due_.empty() && events_.empty(); }
    std::size_t Waiting() const { return due_.size() + events_.size(); }
    std::size_t Topics() const { return values_.size(); }
    // Events dropped since the last call.
    int TakeDropped();

  private:
    struct Value {
        QByteArray payload;
        Retained kind;
        std::uint64_t order;
    };
    using Due = std::tuple<Retained, std::uint64_t, QByteArray>;

    void MarkDue(const QByteArray& topic, const Value& v) { due_.emplace(v.kind, v.order, topic); }

    std::map<QByteArray, Value> values_;  // every retained topic's last value
    std::set<Due> due_;                   // the retained topics not yet handed over
    std::deque<MqttMessage> events_;
    std::uint64_t nextOrder_ = 0;
    int dropped_ = 0;
};

}  // namespace quorval
