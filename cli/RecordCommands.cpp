// check and report: the system compared with a record of it, and a page to hand over.

#include <memory>

#include <QJsonArray>
#include <QJsonDocument>

#include "bus/BusScan.h"
#include "bus/Snapshot.h"
#include "bus/SystemCompare.h"
#include "cli/Cli.h"
#include "common/Global.h"
#include "common/OutputFile.h"
#include "link/ModuleLink.h"
#include "quorval/Version.h"
#include "report/Report.h"

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

// Scans for a record: 0 with the modules in the table, else the exit status.
int ScanForRecord(Session& s, bool& foreign) {
    const ScanOutcome outcome = ScanBus(*s.g, *s.link);
    foreign = outcome == ScanOutcome::Foreign;
    switch (outcome) {
        case ScanOutcome::NoneFound:
            return Refuse(NoModulesMessage());
        case ScanOutcome::LinkLost:
            return LinkFailed(QStringLiteral("the scan stopped after %1 modules, %2")
                                  .arg(s.g->Bus.ModuleCount)
                                  .arg(s.link->PortProblem()));
        case ScanOutcome::Stopped:
            Err(QStringLiteral("interrupted during the scan"));
            return -1;  // the signal decides the status
        default:
            return kExitOk;
    }
}

struct CheckFiles {
    std::optional<Snapshot> baseline;
};

int Check(Session& s, const CheckFiles& files) {
    bool foreign = false;
    if (const int status = ScanForRecord(s, foreign); status != kExitOk) {
        return status < 0 ? kExitOk : status;
    }
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

struct ReportFiles {
    std::optional<Snapshot> state;
    std::optional<Snapshot> baseline;
};

int PrepareReport(Session& s, ReportFiles& files) {
    const QString out = s.o.Value(QStringLiteral("out"));
    if (const QString problem = OutputProblem(out); !problem.isEmpty()) {
        return UsageError(problem);
    }
    const bool fromFile = s.o.IsSet(QStringLiteral("snapshot"));
    if (fromFile == !s.o.port.isEmpty()) {
        return UsageError(QStringLiteral("report needs either --port PORT or --snapshot FILE"));
    }
    if (fromFile) {
        if (const int status = ReadInto(s.o.Value(QStringLiteral("snapshot")), files.state)) {
            return status;
        }
    }
    if (s.o.IsSet(QStringLiteral("baseline"))) {
        return ReadInto(s.o.Value(QStringLiteral("baseline")), files.baseline);
    }
    return kExitOk;
}

int Report(Session& s, const ReportFiles& files) {
    ReportData data;
    if (files.state) {
        data.state = *files.state;
    } else {
        bool foreign = false;
        if (const int status = ScanForRecord(s, foreign); status != kExitOk) {
            return status < 0 ? kExitOk : status;
        }
        if (foreign) {
            return Refuse(ForeignModuleMessage());
        }
        data.state = TakeSnapshot(s.g->Bus, s.o.port);
    }
    data.title = s.o.IsSet(QStringLiteral("title")) ? s.o.Value(QStringLiteral("title"))
                                                    : QStringLiteral("LWL-System report");
    const QString baselineFile = s.o.Value(QStringLiteral("baseline"));
    if (files.baseline) {
        data.baseline =
            ReportData::Baseline{baselineFile, *files.baseline,
                                 CompareSystems(files.baseline->modules, data.state.modules)};
    }
    data.writtenBy = QStringLiteral("quorval-cli %1").arg(QLatin1String(version::kText));
    data.written = QDateTime::currentDateTimeUtc();
    const QString out = s.o.Value(QStringLiteral("out"));
    if (const QString problem = WriteWhole(out, ReportXhtml(data)); !problem.isEmpty()) {
        return UsageError(problem);
    }
    Out(QStringLiteral("wrote %1: %2 modules%3")
            .arg(out)
            .arg(data.state.modules.size())
            .arg(data.baseline ? QStringLiteral(", ") + Verdict(data.baseline->differences,
                                                                int(data.state.modules.size()))
                               : QString()));
    return kExitOk;
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
         {"out", "snapshot", "baseline", "title"},
         {"out"},
         [report](Session& s) { return Report(s, *report); },
         [report](Session& s) { return PrepareReport(s, *report); }},
    };
}

}  // namespace quorval
