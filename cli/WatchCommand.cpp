// watch: scans every interval for hours, writes the samples and says what changed.

#include <cmath>

#include <QJsonDocument>

#include "cli/Cli.h"
#include "cli/MqttOptions.h"
#include "cli/WatchService.h"
#include "common/Parse.h"
#include "link/ModuleLink.h"
#include "publish/MqttConfig.h"
#include "publish/MqttPublisher.h"
#include "record/WatchLog.h"
#include "record/WatchText.h"
#include "session/BusWatch.h"

namespace quorval {

namespace {

constexpr double kDefaultIntervalS = 10;
constexpr double kMinDurationS = 0.001;
constexpr double kMaxDurationS = 10.0 * 366 * 86400;

std::vector<OptionCheck> WatchChecks() {
    std::vector<OptionCheck> checks{
        {"interval",
         [](const QString& v) {
             return SecondsFromText(v, 1, kMaxIntervalS)
                        ? QString()
                        : QStringLiteral(
                              "--interval takes a number of seconds from 1 to 86400, not '%1'")
                              .arg(v);
         }},
        {"duration",
         [](const QString& v) {
             return SecondsFromText(v, kMinDurationS, kMaxDurationS)
                        ? QString()
                        : QStringLiteral("--duration takes a number of seconds above 0, not '%1'")
                              .arg(v);
         }},
        {"out", [](const QString& v) { return WatchLogWriter::Check(v); }},
    };
    for (auto more : {ServiceChecks, MqttChecks}) {
        for (OptionCheck& c : more()) {
            checks.push_back(std::move(c));
        }
    }
    return checks;
}

QString WatchProblem(const Options& o) {
    for (const OptionCheck& c : WatchChecks()) {
        if (o.IsSet(c.name)) {
            if (QString problem = c.problem(o.Value(c.name)); !problem.isEmpty()) {
                return problem;
            }
        }
    }
    return ServiceProblem(o);
}

// Bad arguments are said before the port is opened.
int PrepareWatch(Session& s) {
    const QString problem = WatchProblem(s.o);
    if (!problem.isEmpty()) {
        return UsageError(problem);
    }
    const int status = PrepareService(s.o);
    return status == kExitOk ? CheckMqtt(s.o) : status;
}

void JsonLine(const QJsonObject& o) {
    Out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
}

int Watch(Session& s) {
    const Options& o = s.o;
    const double interval = o.IsSet("interval")
                                ? *SecondsFromText(o.Value("interval"), 1, kMaxIntervalS)
                                : kDefaultIntervalS;
    std::unique_ptr<WatchLog> log;
    if (o.IsSet("log-dir")) {
        QString error;
        if (!(log = OpenDayLog(o, error))) {
            return UsageError(error);
        }
    } else if (o.IsSet("out")) {
        QString error;
        log = WatchLogWriter::Open(o.Value("out"), error);
        if (!log) {
            Err(QStringLiteral("quorval-cli: ") + error);
            return kExitUsage;
        }
    } else if (!o.json) {
        log = WatchLogWriter::StandardOutput();
    }
    BusWatch watch(*s.g, *s.link);
    watch.SetInterval(static_cast<int>(std::lround(interval * 1000)));
    QString span = QStringLiteral("until Ctrl-C");
    if (o.IsSet("duration")) {
        const double duration = *SecondsFromText(o.Value("duration"), kMinDurationS, kMaxDurationS);
        watch.SetDuration(std::llround(duration * 1000));
        span = QStringLiteral("for %1 s or until Ctrl-C").arg(duration);
    }
    bool logFailed = false;
    QObject::connect(&watch, &BusWatch::RoundDone, [&](const WatchRound& round) {
        if (log && !logFailed && !log->Write(round)) {
            Err(QStringLiteral("quorval-cli: %1; the watch ends").arg(log->Problem()));
            logFailed = true;
            watch.Stop();
        }
        if (o.json) {
            for (const WatchSample& sample : round.samples) {
                JsonLine(WatchSampleJson(round.timeMs, round.number, sample));
            }
            for (const WatchEvent& e : round.events) {
                JsonLine(WatchEventJson(e));
            }
        }
        for (const WatchEvent& e : round.events) {
            Err(WatchEventLine(e));
        }
    });
    const WatchServiceFaces service(watch, s);
    Err(QStringLiteral("watching %1 every %2 s %3").arg(o.port).arg(interval).arg(span));
    bool refused = false;
    const std::unique_ptr<MqttPublisher> mqtt = StartWatch(s, watch, refused);
    s.app.exec();
    if (refused) {
        return kExitUsage;
    }

    const WatchTracker& t = watch.Tracker();
    const QStringList summary = WatchSummary(t);
    Err(QStringLiteral("summary: ") + summary.first());
    for (int i = 1; i < summary.size(); ++i) {
        Err(QStringLiteral("  ") + summary[i]);
    }
    if (logFailed) {
        return kExitUsage;
    }
    if (!t.LinkUp()) {
        return kExitLink;
    }
    return t.SomethingHappened() ? kExitSystem : kExitOk;
}

}  // namespace

std::vector<CommandRule> WatchCommands() {
    return {
        {"watch",
         nullptr,
         PortUse::Required,
         true,
         QStringList{"interval", "duration", "out", "json", "log-dir", "keep-days", "prom"} +
             MqttOptionNames(),
         {},
         Watch,
         PrepareWatch,
         WatchChecks()},
    };
}

}  // namespace quorval
