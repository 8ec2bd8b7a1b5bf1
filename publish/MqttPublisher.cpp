#include "publish/MqttPublisher.h"

#include "session/BusWatch.h"

namespace quorval {

namespace {

const QByteArray kHomeAssistantStatus = "homeassistant/status";

}  // namespace

MqttPublisher::MqttPublisher(const MqttConfig& c, QObject* parent)
    : QObject(parent), config_(c), topics_(c.name, c.discovery) {
    queue_.SetRetained(Retained::Status, topics_.StatusTopic(), WatchTopics::Online());
    client_ = std::make_unique<MqttClient>(
        c, MqttMessage{topics_.StatusTopic(), WatchTopics::Offline(), true},
        c.discovery ? kHomeAssistantStatus : QByteArray());
    connect(client_.get(), &MqttClient::Connected, this, &MqttPublisher::OnConnected);
    connect(client_.get(), &MqttClient::Failed, this, &MqttPublisher::OnFailed);
    connect(client_.get(), &MqttClient::Delivered, this, &MqttPublisher::OnDelivered);
    connect(client_.get(), &MqttClient::Ended, this, &MqttPublisher::FinishClose);
    // Home Assistant came (back): it is told what there is. Nothing else received does anything.
    connect(client_.get(), &MqttClient::Received, this,
            [this](const QByteArray& topic, const QByteArray& payload) {
                if (config_.discovery && topic == kHomeAssistantStatus && payload == "online") {
                    queue_.Resend(Retained::Discovery);
                    Pump();
                }
            });
    startWait_.setSingleShot(true);
    connect(&startWait_, &QTimer::timeout, this, [this] {
        if (!ready_ && !refused_) {
            OnFailed(QStringLiteral("no answer within %1 s").arg(kStartWaitMs / 1000), false);
        }
    });
    closeWait_.setSingleShot(true);
    connect(&closeWait_, &QTimer::timeout, this, &MqttPublisher::FinishClose);
}

MqttPublisher::~MqttPublisher() = default;

void MqttPublisher::Start() {
    SetState(QStringLiteral("connecting to %1").arg(config_.Broker()));
    if (const QString problem = client_->Start(); !problem.isEmpty()) {
        refused_ = true;
        QTimer::singleShot(0, this, [this, problem] {
            emit Refused(QStringLiteral("mqtt: %1: %2").arg(config_.Broker(), problem));
        });
        return;
    }
    startWait_.start(kStartWaitMs);
}

void MqttPublisher::Follow(BusWatch& watch) {
    connect(&watch, &BusWatch::RoundDone, this, [this, &watch](const WatchRound& round) {
        Feed(round, watch.Tracker().Modules().size());
    });
}

void MqttPublisher::Feed(const WatchRound& round, std::size_t modulesKnown) {
    if (closing_) {
        return;
    }
    topics_.Feed(round, modulesKnown, queue_);
    if (connected_) {
        SayDropped();
        Pump();
    }
}

void MqttPublisher::OnConnected() {
    if (closing_) {
        return;
    }
    connected_ = true;
    outage_ = Outage::None;
    queue_.ResendAll();  // a subscriber sees the present state, whatever it missed
    const QString state = QStringLiteral("connected to %1").arg(config_.Broker());
    emit Said(QStringLiteral("mqtt: ") + state);
    SetState(state);
    SayDropped();
    Pump();
    GoOn();
}

void MqttPublisher::OnFailed(const QString& reason, bool refused) {
    connected_ = false;
    if (closing_) {
        FinishClose();
        return;
    }
    if (refused && !ready_) {
        refused_ = true;
        startWait_.stop();
        emit Refused(
            QStringLiteral("mqtt: %1 refused the connection (%2)").arg(config_.Broker(), reason));
        return;
    }
    const QString state = refused ? QStringLiteral("%1 refused the connection (%2), retrying")
                                  : QStringLiteral("%1 unreachable (%2), retrying");
    const Outage kind = refused ? Outage::Refused : Outage::Unreachable;
    SetState(state.arg(config_.Broker(), reason));
    if (outage_ != kind) {  // once per outage, and again when the broker starts refusing
        outage_ = kind;
        emit Said(QStringLiteral("mqtt: ") + state_);
    }
    GoOn();
}

void MqttPublisher::OnDelivered(int mid) {
    inFlight_.erase(mid);
    if (mid == offlineMid_) {
        client_->Disconnect();
        return;
    }
    Pump();
}

void MqttPublisher::Pump() {
    while (connected_ && offlineMid_ < 0 && inFlight_.size() < kInFlight) {
        const std::optional<MqttMessage> m = queue_.Next();
        if (!m) {
            break;
        }
        const int mid = client_->Publish(*m);
        if (mid < 0) {
            queue_.PutBack(*m);
            break;
        }
        inFlight_.insert(mid);
    }
    if (closing_ && connected_ && offlineMid_ < 0 && queue_.Empty() && inFlight_.empty()) {
        SendOffline();
    }
}

void MqttPublisher::SayDropped() {
    if (const int n = queue_.TakeDropped(); n > 0) {
        emit Said(QStringLiteral("mqtt: %1 events dropped, the oldest first (at most %2 wait "
                                 "for the broker)")
                      .arg(n)
                      .arg(PublishQueue::kMaxEvents));
    }
}

void MqttPublisher::SetState(const QString& state) {
    state_ = state;
    emit StateChanged(state_);
}

void MqttPublisher::GoOn() {
    if (!ready_) {
        ready_ = true;
        startWait_.stop();
        emit Ready();
    }
}

void MqttPublisher::Close() {
    if (closing_) {
        return;
    }
    closing_ = true;
    closeWait_.start(kCloseWaitMs);
    if (!connected_) {
        QTimer::singleShot(0, this, &MqttPublisher::FinishClose);
        return;
    }
    Pump();
}

void MqttPublisher::SendOffline() {
    offlineMid_ = client_->Publish({topics_.StatusTopic(), WatchTopics::Offline(), true});
    if (offlineMid_ < 0) {
        client_->Disconnect();
    }
}

// Whatever did not go out in time: the broker publishes the will instead.
void MqttPublisher::FinishClose() {
    if (closed_) {
        return;
    }
    closed_ = true;
    closing_ = true;
    connected_ = false;
    closeWait_.stop();
    SetState(QStringLiteral("disconnected from %1").arg(config_.Broker()));
    QMetaObject::invokeMethod(this, &MqttPublisher::Closed, Qt::QueuedConnection);
}

}  // namespace quorval
