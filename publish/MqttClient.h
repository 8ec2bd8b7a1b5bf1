#pragma once

#include <memory>

#include <QByteArray>
#include <QObject>
#include <QString>

#include "publish/MqttConfig.h"
#include "publish/PublishQueue.h"

namespace quorval {

// One connection to an MQTT broker through libmosquitto. Everything that may
// wait on the network (the name lookup, the connect, the TLS handshake, the
// keepalive, the reconnects) runs in a thread of its own, never in the thread
// of the event loop that drives the line; that thread only hands messages over
// and hears of the connection through queued signals.
class MqttClient : public QObject {
    Q_OBJECT
  public:
    static constexpr int kKeepaliveS = 30;
    static constexpr int kConnectWaitMs = 10000;  // per attempt, for the broker's answer
    static constexpr int kFirstRetryMs = 1000;    // doubled after each failure up to
    static constexpr int kMaxRetryMs = 4000;      // this, so a broker back is found in time

    // will: published by the broker (retained) when the connection breaks.
    // subscribe: the one topic to subscribe to after each connect; empty for none.
    MqttClient(const MqttConfig& c, const MqttMessage& will, const QByteArray& subscribe,
               QObject* parent = nullptr);
    // Ends the thread; one that is stuck in a name lookup is left to end by itself.
    ~MqttClient() override;

    // Connects, and again after every failure, until Disconnect; a text when
    // the client cannot be set up (TLS files).
    QString Start();
    // QoS 1; the message's id, or -1 when libmosquitto did not take it. Not
    // after Disconnect.
    int Publish(const MqttMessage& m);
    // Ends a connection cleanly (the broker drops the will), then the thread; Ended follows.
    void Disconnect();

    struct Shared;

  signals:
    void Connected();
    // An attempt failed or the connection broke. refused: the broker or TLS said
    // no, which trying again will not change.
    void Failed(const QString& reason, bool refused);
    void Delivered(int mid);
    void Received(const QByteArray& topic, const QByteArray& payload);
    void Ended();

  private:
    std::shared_ptr<Shared> shared_;
    bool started_ = false;
};

}  // namespace quorval
