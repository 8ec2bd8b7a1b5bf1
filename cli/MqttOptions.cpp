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

MqttPublisher* MqttFor(Session& s, BusWatch& watch) {
    std::optional<MqttConfig> config = Read(s.o).config;
    if (!config) {
        return nullptr;
    }
    const MSComm& port = s.link->Port();
    config->name =
        SystemNameFor(s.o.Value(QStringLiteral("mqtt-name")), port.DeviceName(port.CommPort()));
    auto* p = new MqttPublisher(*config, &watch);
    p->Follow(watch);
    QObject::connect(p, &MqttPublisher::Said, [](const QString& line) {
        Err(WatchTimeText(QDateTime::currentMSecsSinceEpoch()) + QLatin1Char(' ') + line);
    });
    Err(QStringLiteral("publishing to %1 as quorval/%2/").arg(config->Broker(), config->name));
    return p;
}

void StartWatch(Session& s, BusWatch& watch, MqttPublisher* mqtt) {
    if (!mqtt) {
        watch.Start();
        return;
    }
    QObject::connect(mqtt, &MqttPublisher::Ready, &watch, &BusWatch::Start);
    QObject::connect(mqtt, &MqttPublisher::Refused, [&s](const QString& message) {
        Err(QStringLiteral("quorval-cli: ") + message);
        s.Finish(kExitUsage);
    });
    mqtt->Start();
}

void FinishWatch(Session& s, MqttPublisher* mqtt, int status) {
    if (!mqtt) {
        s.Finish(status);
        return;
    }
    QObject::connect(mqtt, &MqttPublisher::Closed, [&s, status] { s.Finish(status); });
    mqtt->Close();
}

}  // namespace quorval
