#include "publish/PublishQueue.h"

namespace quorval {

void PublishQueue::SetRetained(Retained kind, const QByteArray& topic, const QByteArray& payload) {
    auto [at, added] = values_.try_emplace(topic, Value{payload, kind, nextOrder_});
    if (added) {
        ++nextOrder_;
    } else {
        at->second.payload = payload;
    }
    MarkDue(topic, at->second);
}

void PublishQueue::AddEvent(const QByteArray& topic, const QByteArray& payload) {
    if (events_.size() >= kMaxEvents) {
        events_.pop_front();
        ++dropped_;
    }
    events_.push_back({topic, payload, false});
}

void PublishQueue::ResendAll() {
    for (const auto& [topic, v] : values_) {
        MarkDue(topic, v);
    }
}

void PublishQueue::Resend(Retained kind) {
    for (const auto& [topic, v] : values_) {
        if (v.kind == kind) {
            MarkDue(topic, v);
        }
    }
}

void PublishQueue::PutBack(const MqttMessage& m) {
    if (m.retain) {
        if (const auto at = values_.find(m.topic); at != values_.end()) {
            MarkDue(m.topic, at->second);
        }
        return;
    }
    if (events_.size() >= kMaxEvents) {
        ++dropped_;  // the oldest is this one
        return;
    }
    events_.push_front(m);
}

std::optional<MqttMessage> PublishQueue::Next() {
    if (!due_.empty()) {
        const QByteArray topic = std::get<2>(*due_.begin());
        due_.erase(due_.begin());
        return MqttMessage{topic, values_.at(topic).payload, true};
    }
    if (events_.empty()) {
        return std::nullopt;
    }
    MqttMessage m = std::move(events_.front());
    events_.pop_front();
    return m;
}

int PublishQueue::TakeDropped() {
    const int n = dropped_;
    dropped_ = 0;
    return n;
}

}  // namespace quorval
