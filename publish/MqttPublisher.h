#pragma once

#include <cstddef>
#include <memory>
#include <set>

#include <QObject>
#include <QString>
#include <QTimer>

#include "publish/MqttClient.h"
#include "publish/MqttConfig.h"
#include "publish/PublishQueue.h"
#include "publish/WatchTopics.h"

namespace quorval {

class BusWatch;

// The watch as the plant sees it: publishes the rounds of a watch to an MQTT
// broker, a guest that never holds the watch up. What waits for the broker is
// bounded (PublishQueue); libmosquitto gets at most kInFlight messages it has
// not delivered yet. The command line and the window use it alike: Start, then
// Ready or Refused; Follow a watch; Close at the end.
class MqttPublisher : public QObject {
    Q_OBJECT
  public:
    // The longest the start waits for the broker's answer before the watch
    // goes on without it (a host that swallows the connection).
    static constexpr int kStartWaitMs = 3000;
    static constexpr std::size_t kInFlight = 64;
    // A clean end waits this long at most for what waits, and for "offline", to go out.
    static constexpr int kCloseWaitMs = 2000;

    explicit MqttPublisher(const MqttConfig& c, QObject* parent = nullptr);
    ~MqttPublisher() override;

    // Ready once connected, or once the broker is found unreachable, or after
    // kStartWaitMs; Refused instead when the broker refuses (user, password,
    // authorisation, TLS): a configuration error.
    void Start();
    // Publishes every round of this watch.
    void Follow(BusWatch& watch);
    // What is waiting goes out, then "offline", then a clean disconnect, each
    // waited for at most kCloseWaitMs in all; Closed follows.
    void Close();

    // The broker's state in a few words, for a status line.
    const QString& State() const { return state_; }
    const PublishQueue& Queue() const { return queue_; }
    void Feed(const WatchRound& round, std::size_t modulesKnown);

  signals:
    void Ready();
    void Refused(const QString& message);
    // A line for the event list or standard error: "mqtt: connected to HOST:PORT".
    void Said(const QString& line);
    void StateChanged(const QString& state);
    void Closed();

  private:
    enum class Outage { None, Unreachable, Refused };

    void OnConnected();
    void OnFailed(const QString& reason, bool refused);
    void OnDelivered(int mid);
    void Pump();
    void SayDropped();
    void SetState(const QString& state);
    void GoOn();  // the start is over: Ready, once
    void SendOffline();
    void FinishClose();

    MqttConfig config_;
    WatchTopics topics_;
    PublishQueue queue_;
    std::unique_ptr<MqttClient> client_;
    std::set<int> inFlight_;  // handed to libmosquitto, not yet acknowledged
    QTimer startWait_;
    QTimer closeWait_;
    Outage outage_ = Outage::None;
    int offlineMid_ = -1;
    bool connected_ = false;
    bool ready_ = false;
    bool refused_ = false;
    bool closing_ = false;
    bool closed_ = false;
    QString state_;
};

}  // namespace quorval
