#include "publish/MqttConfig.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>

#include "publish/SystemName.h"

namespace quorval {

namespace {

constexpr int kPlainPort = 1883;
constexpr int kTlsPort = 8883;
constexpr qint64 kMaxPasswordBytes = 4096;

QString Unreadable(const QString& option, const QString& path) {
    QFile f(path);
    if (QFileInfo(path).isDir()) {
        return QStringLiteral("%1: %2 is a directory").arg(option, path);
    }
    if (!f.open(QIODevice::ReadOnly)) {
        return QStringLiteral("%1: cannot read %2: %3").arg(option, path, f.errorString());
    }
    return {};
}

// The first line of the file, without its line end.
QString ReadPassword(const QString& path, QByteArray& password) {
    const QString option = QStringLiteral("--mqtt-password-file");
    if (QString problem = Unreadable(option, path); !problem.isEmpty()) {
        return problem;
    }
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    password = f.readLine(kMaxPasswordBytes + 2);
    if (password.size() > kMaxPasswordBytes && !password.endsWith('\n')) {
        return QStringLiteral("%1: the first line of %2 is longer than %3 bytes")
            .arg(option, path)
            .arg(kMaxPasswordBytes);
    }
    while (password.endsWith('\n') || password.endsWith('\r')) {
        password.chop(1);
    }
    return {};
}

}  // namespace

QString MqttConfig::Broker() const {
    const bool v6 = host.contains(QLatin1Char(':'));
    return (v6 ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2")).arg(host).arg(port);
}

QStringList MqttOptionNames() {
    return {"mqtt",        "mqtt-name",     "mqtt-user", "mqtt-password-file",
            "mqtt-cafile", "mqtt-discovery"};
}

QList<QCommandLineOption> MqttCommandLineOptions(const QString& prefix) {
    // "watch: publishes ..." on the command line, "Publishes ..." in the window's help.
    const auto help = [&prefix](const char* text) {
        QString s = QString::fromLatin1(text);
        if (prefix.isEmpty()) {
            s[0] = s[0].toUpper();
        }
        return prefix + s;
    };
    const auto option = [&help](const char* name, const char* text, const char* value) {
        return QCommandLineOption(QString::fromLatin1(name), help(text),
                                  QString::fromLatin1(value));
    };
    return {
        option("mqtt",
               "publishes the state and the events to this MQTT broker: mqtt://HOST[:PORT] "
               "(port 1883 by default) or mqtts://HOST[:PORT] (TLS, port 8883).",
               "URL"),
        option("mqtt-name",
               "the system's name in the topics quorval/NAME/... (default: the host name, '-' "
               "and the port's device, lower case).",
               "NAME"),
        option("mqtt-user", "the user name for the broker.", "USER"),
        option("mqtt-password-file", "the broker password is the first line of this file.", "FILE"),
        option("mqtt-cafile",
               "the CA certificate that the mqtts:// broker's certificate must be signed by "
               "(default: the system's CA store).",
               "FILE"),
        QCommandLineOption(QStringLiteral("mqtt-discovery"),
                           help("also publishes Home Assistant's MQTT discovery configuration "
                                "of every module.")),
    };
}

QString ReadBrokerUrl(const QString& url, MqttConfig& c) {
    const QString wrong =
        QStringLiteral("--mqtt takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not '%1'").arg(url);
    QString rest;
    if (url.startsWith(QLatin1String("mqtt://"), Qt::CaseInsensitive)) {
        c.tls = false;
        rest = url.mid(7);
    } else if (url.startsWith(QLatin1String("mqtts://"), Qt::CaseInsensitive)) {
        c.tls = true;
        rest = url.mid(8);
    } else {
        return wrong;
    }
    const bool bracketed = rest.startsWith(QLatin1Char('['));  // an IPv6 address
    QString host = rest;
    std::optional<QString> port;
    if (bracketed) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        const QString after = close < 0 ? QString() : rest.mid(close + 1);
        if (close < 0 || (!after.isEmpty() && !after.startsWith(QLatin1Char(':')))) {
            return wrong;
        }
        host = rest.mid(1, close - 1);
        if (!after.isEmpty()) {
            port = after.mid(1);
        }
    } else if (const qsizetype colon = rest.indexOf(QLatin1Char(':')); colon >= 0) {
        host = rest.left(colon);
        port = rest.mid(colon + 1);
    }
    const auto badInHost = [bracketed](QChar ch) {
        return ch.isSpace() || QStringLiteral("/?#@[]").contains(ch) ||
               (ch == QLatin1Char(':') && !bracketed);
    };
    if (host.isEmpty() || std::any_of(host.begin(), host.end(), badInHost)) {
        return wrong;
    }
    c.host = host;
    c.port = c.tls ? kTlsPort : kPlainPort;
    if (port) {
        const auto digit = [](QChar ch) {
            return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
        };
        if (port->isEmpty() || !std::all_of(port->begin(), port->end(), digit)) {
            return wrong;
        }
        const int n = port->size() <= 5 ? port->toInt() : 0;
        if (n < 1 || n > 65535) {
            return QStringLiteral("--mqtt: the port in '%1' must be from 1 to 65535").arg(url);
        }
        c.port = n;
    }
    return {};
}

MqttOptionCheck CheckMqttOptions(const OptionValue& value) {
    MqttOptionCheck check;
    const std::optional<QString> url = value(QStringLiteral("mqtt"));
    if (!url) {
        for (const QString& name : MqttOptionNames()) {
            if (value(name)) {
                check.error = QStringLiteral("--%1 needs --mqtt URL").arg(name);
                return check;
            }
        }
        return check;
    }
    MqttConfig c;
    if (check.error = ReadBrokerUrl(*url, c); !check.error.isEmpty()) {
        return check;
    }
    if (const auto name = value(QStringLiteral("mqtt-name"))) {
        if (const QString problem = SystemNameProblem(*name); !problem.isEmpty()) {
            check.error = QStringLiteral("--mqtt-name: ") + problem;
            return check;
        }
        c.name = *name;
    }
    const auto user = value(QStringLiteral("mqtt-user"));
    const auto passwordFile = value(QStringLiteral("mqtt-password-file"));
    if (user && user->isEmpty()) {
        check.error = QStringLiteral("--mqtt-user needs a user name");
        return check;
    }
    if (passwordFile && !user) {
        check.error = QStringLiteral("--mqtt-password-file needs --mqtt-user");
        return check;
    }
    c.user = user.value_or(QString());
    if (passwordFile) {
        QByteArray password;
        if (check.error = ReadPassword(*passwordFile, password); !check.error.isEmpty()) {
            return check;
        }
        c.password = password;
#ifndef Q_OS_WIN
        if (QFile::permissions(*passwordFile) & (QFile::ReadGroup | QFile::ReadOther)) {
            check.warnings << QStringLiteral(
                                  "warning: the password file %1 can be read by others than its "
                                  "owner (chmod 600 %1)")
                                  .arg(*passwordFile);
        }
#endif
    }
    if (const auto ca = value(QStringLiteral("mqtt-cafile"))) {
        if (!c.tls) {
            check.error = QStringLiteral("--mqtt-cafile needs an mqtts:// broker");
            return check;
        }
        if (check.error = Unreadable(QStringLiteral("--mqtt-cafile"), *ca);
            !check.error.isEmpty()) {
            return check;
        }
        c.caFile = *ca;
    }
    c.discovery = value(QStringLiteral("mqtt-discovery")).has_value();
    check.config = c;
    return check;
}

}  // namespace quorval
