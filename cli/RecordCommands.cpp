// check and report: the system compared with a record of it, and a page to hand over.

#include <functional>
#include <memory>

#include <QJsonArray>
#include <QJsonDocument>

#include "cli/Cli.h"
#include "common/OutputFile.h"
#include "link/ModuleLink.h"
#include "model/Global.h"
#include "quorval/Version.h"
#include "record/Snapshot.h"
#include "record/SystemCompare.h"
#include "report/Report.h"
#include "report/TrendSvg.h"
#include "report/WatchDigest.h"
#include "session/BusScan.h"

namespace quorval {

namespace {

int ReadInto(const QString& path, std::optional<Snapshot>& into) {
    SnapshotRead read = ReadSnapshot(path);
    if (!read.snapshot) {
        return UsageError(read.error);
    }
    into = std::move(read.snapshot);
    return kExitOk;
}

// Scans for a record, then hands the outcome to then: 0 with the modules in
// the table, else the exit status (-1: stopped, the signal decides).
int ScanForRecord(Session& s, std::function<int(int status, bool foreign)> then) {
    auto* scan = new BusScan(*s.link);
    QObject::connect(scan, &BusScan::finished, [&s, then](ScanOutcome outcome) {
        int status = kExitOk;
        switch (outcome) {
            case ScanOutcome::NoneFound:
                status = Refuse(NoModulesMessage());
                break;
            case ScanOutcome::LinkLost:
                status = LinkFailed(QStringLiteral("the scan stopped after %1 modules, %2")
                                        .arg(s.g->Bus.ModuleCount)
                                        .arg(s.link->PortProblem()));
                break;
            case ScanOutcome::Stopped:
                Err(QStringLiteral("interrupted during the scan"));
                status = -1;
                break;
            default:
                break;
        }
        s.Finish(then(status, outcome == ScanOutcome::Foreign));
    });
    return scan->Start() ? kRunning : kExitOk;  // turned away only by a stop
}

struct CheckFiles {
    std::optional<Snapshot> baseline;
};

int Compare(Session& s, const CheckFiles& files, bool foreign) {
    const std::vector<ModuleState> now = ScannedModules(s.g->Bus);
    const std::vector<Difference> differences = CompareSystems(files.baseline->modules, now);
    if (s.o.json) {
        QJsonArray array;
        for (const Difference& d : differences) {
            array.append(DifferenceJson(d));
        }
        Out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
    } else {
        for (const Difference& d : differences) {
            Out(DifferenceLine(d));
        }
        Out(Verdict(differences, static_cast<int>(now.size())));
    }
    if (foreign) {
        return Refuse(ForeignModuleMessage());
    }
    return SystemDiffers(differences) ? kExitSystem : kExitOk;
}

int Check(Session& s, const CheckFiles& files) {
    return ScanForRecord(s, [&s, &files](int status, bool foreign) {
        if (status != kExitOk) {
            return status < 0 ? kExitOk : status;
        }
        return Compare(s, files, foreign);
    });
}

struct ReportFiles {
    std::optional<Snapshot> state;
    std::optional<Snapshot> baseline;
    std::optional<WatchDigest> watch;
};

// Reads the whole log before anything is sent; rows it leaves out are named.
int ReadWatchLog(const QString& path, bool alone, std::optional<WatchDigest>& into) {
    WatchDigestRead read = DigestWatchLog(path, TrendFrame());
    if (!read.digest) {
        return UsageError(read.error);
    }
    const WatchDigest& w = *read.digest;
    for (const QString& problem : w.badRowSample) {
        Err(QStringLiteral("quorval-cli: %1 (left out)").arg(problem));
    }
    if (w.badRows > w.badRowSample.size()) {
        Err(QStringLiteral("quorval-cli: %1: %2 rows left out in all").arg(path).arg(w.badRows));
    }
    if (alone && w.rounds == 0) {
        return UsageError(QStringLiteral("%1: no round of a watch in it to report on").arg(path));
    }
    into = std::move(read.digest);
    return kExitOk;
}

int PrepareReport(Session& s, ReportFiles& files) {
    const QString out = s.o.Value(QStringLiteral("out"));
    if (const QString problem = OutputProblem(out); !problem.isEmpty()) {
        return UsageError(problem);
    }
    const bool fromFile = s.o.IsSet(QStringLiteral("snapshot"));
    const bool fromPort = !s.o.port.isEmpty();
    const bool withLog = s.o.IsSet(QStringLiteral("watch"));
    if (fromFile && fromPort) {
        return UsageError(QStringLiteral("report takes --port PORT or --snapshot FILE, not both"));
    }
    if (!fromFile && !fromPort && !withLog) {
        return UsageError(
            QStringLiteral("report needs --port PORT, --snapshot FILE or --watch LOG.csv"));
    }
    if (fromFile) {
        if (const int status = ReadInto(s.o.Value(QStringLiteral("snapshot")), files.state)) {
            return status;
        }
    }
    if (withLog) {
        // Without a scan or a snapshot, the log's last round is the state reported on.
        if (const int status = ReadWatchLog(s.o.Value(QStringLiteral("watch")),
                                            !fromFile && !fromPort, files.watch)) {
            return status;
        }
    }
    if (s.o.IsSet(QStringLiteral("baseline"))) {
        return ReadInto(s.o.Value(QStringLiteral("baseline")), files.baseline);
    }
    return kExitOk;
}

int WriteReport(Session& s, ReportData& data) {
    data.title = s.o.IsSet(QStringLiteral("title")) ? s.o.Value(QStringLiteral("title"))
                                                    : QStringLiteral("LWL-System report");
    if (data.baseline) {
        data.baseline->differences =
            CompareSystems(data.baseline->snapshot.modules, data.state.modules);
    }
    data.writtenBy = QStringLiteral("quorval-cli %1").arg(QLatin1String(version::kText));
    data.written = QDateTime::currentDateTimeUtc();
    const QString out = s.o.Value(QStringLiteral("out"));
    if (const QString problem = WriteWhole(out, ReportXhtml(data)); !problem.isEmpty()) {
        return UsageError(problem);
    }
    QString watch;
    if (data.watch) {
        watch = QStringLiteral("; watch: %1 rounds, %2 plots")
                    .arg(data.watch->rounds)
                    .arg(data.watch->plots.size());
    }
    Out(QStringLiteral("wrote %1: %2 modules%3%4")
            .arg(out)
            .arg(data.state.modules.size())
            .arg(data.baseline ? QStringLiteral(", ") + Verdict(data.baseline->differences,
                                                                int(data.state.modules.size()))
                               : QString(),
                 watch));
    return kExitOk;
}

int Report(Session& s, const ReportFiles& files) {
    auto data = std::make_shared<ReportData>();
    data->watch = files.watch;
    if (files.baseline) {
        data->baseline =
            ReportData::Baseline{s.o.Value(QStringLiteral("baseline")), *files.baseline, {}};
    }
    if (files.state) {
        data->state = *files.state;
    } else if (!s.link) {
        const WatchDigest& w = *files.watch;
        data->state.taken = QDateTime::fromMSecsSinceEpoch(w.toMs, Qt::UTC);
        data->state.plainList = true;  // no port or program in a log
        data->state.modules = w.lastModules;
        data->stateFrom = QStringLiteral(
                              "the modules that answered the last round of the watch "
                              "log (round %1)")
                              .arg(w.lastRound);
    } else {
        return ScanForRecord(s, [&s, data](int status, bool foreign) {
            if (status != kExitOk) {
                return status < 0 ? kExitOk : status;
            }
            if (foreign) {
                return Refuse(ForeignModuleMessage());
            }
            data->state = TakeSnapshot(s.g->Bus, s.o.port);
            return WriteReport(s, *data);
        });
    }
    return WriteReport(s, *data);
}

}  // namespace

std::vector<CommandRule> RecordCommands() {
    // What a command's preparation read, kept for its run.
    auto check = std::make_shared<CheckFiles>();
    auto report = std::make_shared<ReportFiles>();
    return {
        {"check",
         "BASELINE",
         PortUse::Required,
         false,
         {"json"},
         {},
         [check](Session& s) { return Check(s, *check); },
         [check](Session& s) { return ReadInto(s.o.operands.first(), check->baseline); }},
        {"report",
         nullptr,
         PortUse::Optional,
         false,
         {"out", "snapshot", "baseline", "title", "watch"},
         {"out"},
         [report](Session& s) { return Report(s, *report); },
         [report](Session& s) { return PrepareReport(s, *report); }},
    };
}

}  // namespace quorval
