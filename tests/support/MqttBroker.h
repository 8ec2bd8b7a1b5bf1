#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace testing_support {

// mosquitto on a free loopback port, with a configuration file of its own in a
// temporary folder. Stop and Start again: the broker away and back on the same port.
class MqttBroker {
  public:
    // Lines after the first listener's; {dir} stands for the folder, {tls} for a
    // second free port. persistent: sessions and retained messages survive a restart.
    explicit MqttBroker(const QByteArray& config = {}, bool persistent = false);
    ~MqttBroker();

    bool Start();  // true once it takes connections (waits up to 10 s)
    void Stop();
    QString Url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(port_); }
    int Port() const { return port_; }
    int TlsPort() const { return tlsPort_; }
    QString FilePath(const QString& name) const { return dir_.filePath(name); }
    // A CA, and a certificate of it for "localhost" that the {tls} listener shows.
    bool MakeCertificates();

  private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
    int tlsPort_ = 0;
};

// mosquitto_sub on the broker's first port: every message as "RETAINED TOPIC PAYLOAD".
// persistent: a session that keeps what comes while it is away (QoS 1).
class MqttSub {
  public:
    MqttSub(const MqttBroker& broker, const QString& topic, bool persistent = false);
    ~MqttSub();
    QStringList Lines();  // all so far
    // The payloads of a topic so far, oldest first; retained 1: only those the broker kept
    // and sent on subscribing, 0: only those that came as they were published.
    QList<QByteArray> Payloads(const QString& topic, int retained = -1);

  private:
    QProcess process_;
    QStringList lines_;
};

}  // namespace testing_support
