// watch: scans every interval for hours, writes the samples and says what changed.

#include <cmath>
#include <memory>

#include <QJsonDocument>

#include "cli/Cli.h"
#include "cli/MqttOptions.h"
#include "cli/WatchService.h"
#include "common/Parse.h"
#include "link/ModuleLink.h"
#include "publish/MqttConfig.h"
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
int PrepareWatch(Session& s, std::unique_ptr<WatchLog>& dayLog) {
    const QString problem = WatchProblem(s.o);
    if (!problem.isEmpty()) {
        return UsageError(problem);
    }
    const int status = PrepareService(s.o, dayLog);
    return status == kExitOk ? CheckMqtt(s.o) : status;
}

void JsonLine(const QJsonObject& o) {
    Out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
}

int Watch(Session& s, std::unique_ptr<WatchLog> dayLog) {
    const Options& o = s.o;
    const double interval = o.IsSet("interval")
                                ? *SecondsFromText(o.Value("interval"), 1, kMaxIntervalS)
                                : kDefaultIntervalS;
    // Kept by the watch's handlers until it has finished.
    // The day files of --log-dir were opened before the port.
    std::shared_ptr<WatchLog> log = std::move(dayLog);
    if (!log && o.IsSet("out")) {
        QString error;
        log = WatchLogWriter::Open(o.Value("out"), error);
        if (!log) {
            Err(QStringLiteral("quorval-cli: ") + error);
            return kExitUsage;
        }
    } else if (!log && !o.json) {
        log = WatchLogWriter::StandardOutput();
    }
    auto* watchOn = new BusWatch(*s.g, *s.link, s.link);
    BusWatch& watch = *watchOn;
    watch.SetInterval(static_cast<int>(std::lround(interval * 1000)));
    QString span = QStringLiteral("until Ctrl-C");
    if (o.IsSet("duration")) {
        const double duration = *SecondsFromText(o.Value("duration"), kMinDurationS, kMaxDurationS);
        watch.SetDuration(std::llround(duration * 1000));
        span = QStringLiteral("for %1 s or until Ctrl-C").arg(duration);
    }
    auto logFailed = std::make_shared<bool>(false);
    QObject::connect(
        &watch, &BusWatch::RoundDone, [&o, &watch, log, logFailed](const WatchRound& round) {
            if (log && !*logFailed && !log->Write(round)) {
                Err(QStringLiteral("quorval-cli: %1; the watch ends").arg(log->Problem()));
                *logFailed = true;
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
    MqttPublisher* const mqtt = MqttFor(s, watch);
    QObject::connect(&watch, &BusWatch::Finished, [&s, &watch, log, logFailed, mqtt] {
        const WatchTracker& t = watch.Tracker();
        const QStringList summary = WatchSummary(t);
        Err(QStringLiteral("summary: ") + summary.first());
        for (int i = 1; i < summary.size(); ++i) {
            Err(QStringLiteral("  ") + summary[i]);
        }
        if (*logFailed) {
            FinishWatch(s, mqtt, kExitUsage);
        } else if (!t.LinkUp()) {
            FinishWatch(s, mqtt, kExitLink);
        } else {
            FinishWatch(s, mqtt, t.SomethingHappened() ? kExitSystem : kExitOk);
        }
    });
    new WatchServiceFaces(watch, s, &watch);
    Err(QStringLiteral("watching %1 every %2 s %3").arg(o.port).arg(interval).arg(span));
    StartWatch(s, watch, mqtt);
    return kRunning;
}

}  // namespace

std::vector<CommandRule> WatchCommands() {
    // The day files opened by the preparation, kept for the run.
    auto dayLog = std::make_shared<std::unique_ptr<WatchLog>>();
    return {
        {"watch",
         nullptr,
         PortUse::Required,
         true,
         QStringList{"interval", "duration", "out", "json", "log-dir", "keep-days", "prom"} +
             MqttOptionNames(),
         {},
         [dayLog](Session& s) { return Watch(s, std::move(*dayLog)); },
         [dayLog](Session& s) { return PrepareWatch(s, *dayLog); },
         WatchChecks()},
    };
}

}  // namespace quorval
