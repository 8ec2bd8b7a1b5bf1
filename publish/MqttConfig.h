#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

namespace quorval {

// Where and how the watch publishes, from the --mqtt... options.
struct MqttConfig {
    QString host;
    int port = 1883;
    bool tls = false;
    QString name;  // the system's part of every topic
    QString user;  // empty: none
    std::optional<QByteArray> password;
    QString caFile;  // empty: the system's CA store
    bool discovery = false;

    // "HOST:PORT", as every message names the broker.
    QString Broker() const;
};

// The long names of the options, as both programs declare them.
QStringList MqttOptionNames();
// The options with their help; prefix goes before each text ("watch: ").
QList<QCommandLineOption> MqttCommandLineOptions(const QString& prefix = {});

// The value of an option when it was given (a flag given: an empty text).
using OptionValue = std::function<std::optional<QString>(const QString& name)>;

struct MqttOptionCheck {
    // With --mqtt; its name is left empty when --mqtt-name is not given, since
    // the default needs the port's device (SystemNameFor).
    std::optional<MqttConfig> config;
    QString error;         // a usage error: the options do not make sense
    QStringList warnings;  // said, and the watch goes on
};

// Checks the options and reads the password file, before the port is opened.
MqttOptionCheck CheckMqttOptions(const OptionValue& value);

// mqtt://HOST[:PORT] or mqtts://HOST[:PORT] into c; a usage error text otherwise.
QString ReadBrokerUrl(const QString& url, MqttConfig& c);

}  // namespace quorval
