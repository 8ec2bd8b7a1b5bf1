#include "cli/WatchService.h"

#include <QDateTime>

#include "common/OutputFile.h"
#include "common/Parse.h"
#include "link/ModuleLink.h"
#include "publish/SystemName.h"
#include "publish/WatchMetrics.h"
#include "record/WatchDayLog.h"
#include "session/BusWatch.h"

namespace quorval {

namespace {

constexpr int kMaxKeepDays = 100 * 366;

std::optional<int> KeepDays(const QString& text) {
    const auto n = ParseWhole(text.toStdString(), 1, kMaxKeepDays);
    return n ? std::optional<int>(static_cast<int>(*n)) : std::nullopt;
}

}  // namespace

std::vector<OptionCheck> ServiceChecks() {
    return {
        {"log-dir",
         [](const QString& dir) {
             return WatchDayLog::Check(dir, QDateTime::currentMSecsSinceEpoch());
         }},
        {"keep-days",
         [](const QString& n) {
             return KeepDays(n) ? QString()
                                : QStringLiteral(
                                      "--keep-days takes a number of days from 1 to "
                                      "%1, not '%2'")
                                      .arg(kMaxKeepDays)
                                      .arg(n);
         }},
        {"prom", [](const QString& path) { return OutputProblem(path); }},
    };
}

QString ServiceProblem(const Options& o) {
    if (o.IsSet("log-dir") && o.IsSet("out")) {
        return QStringLiteral(
            "--out and --log-dir do not go together: the rows go to one or "
            "the other");
    }
    if (o.IsSet("keep-days") && !o.IsSet("log-dir")) {
        return QStringLiteral("--keep-days goes with --log-dir");
    }
    return {};
}

int PrepareService(const Options& o, std::unique_ptr<WatchLog>& dayLog) {
    if (!o.IsSet("log-dir")) {
        return kExitOk;
    }
    const int keep = o.IsSet("keep-days") ? KeepDays(o.Value("keep-days")).value_or(0) : 0;
    QString error;
    dayLog =
        WatchDayLog::Open(o.Value("log-dir"), keep, QDateTime::currentMSecsSinceEpoch(), error);
    return dayLog ? kExitOk : UsageError(error);
}

WatchServiceFaces::WatchServiceFaces(BusWatch& watch, Session& s, QObject* parent)
    : QObject(parent), notifier_(watch) {
    if (!s.o.IsSet("prom")) {
        return;
    }
    prom_ = s.o.Value("prom");
    // The same name as the MQTT topics'.
    const MSComm& port = s.link->Port();
    system_ = SystemNameFor(s.o.Value("mqtt-name"), port.DeviceName(port.CommPort()));
    connect(&watch, &BusWatch::RoundDone, this, [this, &watch](const WatchRound& round) {
        const QString problem = WriteWatchMetrics(prom_, system_, round, watch.Tracker());
        if (!problem.isEmpty() && !promFailing_) {
            Err(QStringLiteral("quorval-cli: metrics: %1; tried again after every round")
                    .arg(problem));
        } else if (problem.isEmpty() && promFailing_) {
            Err(QStringLiteral("quorval-cli: metrics: %1 written again").arg(prom_));
        }
        promFailing_ = !problem.isEmpty();
    });
}

}  // namespace quorval
