#include "cli/MqttOptions.h"

#include <QDateTime>

#include "link/ModuleLink.h"
#include "publish/MqttPublisher.h"
#include "publish/SystemName.h"
#include "record/WatchText.h"
#include "session/BusWatch.h"

namespace quorval {

namespace {

MqttOptionCheck Read(const Options& o) {
    return CheckMqttOptions([&o](const QString& name) -> std::optional<QString> {
        return o.IsSet(name) ? std::optional<QString>(o.Value(name)) : std::nullopt;
    });
}

}  // namespace

std::vector<OptionCheck> MqttChecks() {
    return {
        {"mqtt",
         [](const QString& url) {
             MqttConfig c;
             return ReadBrokerUrl(url, c);
         }},
        {"mqtt-name",
         [](const QString& name) {
             const QString problem = SystemNameProblem(name);
             return problem.isEmpty() ? problem : QStringLiteral("--mqtt-name: ") + problem;
         }},
    };
}

int CheckMqtt(const Options& o) {
    const MqttOptionCheck check = Read(o);
    for (const QString& warning : check.warnings) {
        Err(QStringLiteral("quorval-cli: ") + warning);
    }
    return check.error.isEmpty() ? kExitOk : UsageError(check.error);
}

std::unique_ptr<MqttPublisher> StartWatch(Session& s, BusWatch& watch, bool& refused) {
    std::optional<MqttConfig> config = Read(s.o).config;
    if (!config) {
        QObject::connect(&watch, &BusWatch::Finished, &s.app, &QCoreApplication::quit);
        watch.Start();
        return nullptr;
    }
    MSComm& port = s.link->MSComm1();
    config->name =
        SystemNameFor(s.o.Value(QStringLiteral("mqtt-name")), port.DeviceName(port.CommPort()));
    auto mqtt = std::make_unique<MqttPublisher>(*config);
    MqttPublisher* p = mqtt.get();
    p->Follow(watch);
    QObject::connect(p, &MqttPublisher::Said, [](const QString& line) {
        Err(WatchTimeText(QDateTime::currentMSecsSinceEpoch()) + QLatin1Char(' ') + line);
    });
    QObject::connect(p, &MqttPublisher::Ready, &watch, &BusWatch::Start);
    QObject::connect(p, &MqttPublisher::Refused, &s.app, [&s, &refused](const QString& message) {
        Err(QStringLiteral("quorval-cli: ") + message);
        refused = true;
        s.app.quit();
    });
    QObject::connect(&watch, &BusWatch::Finished, p, &MqttPublisher::Close);
    QObject::connect(p, &MqttPublisher::Closed, &s.app, &QCoreApplication::quit);
    Err(QStringLiteral("publishing to %1 as quorval/%2/").arg(config->Broker(), config->name));
    p->Start();
    return mqtt;
}

}  // namespace quorval
