// scan, query and monitor: commands that only listen to what the modules say.

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include "cli/Cli.h"
#include "cli/CliFormat.h"
#include "common/OutputFile.h"
#include "link/ModuleLink.h"
#include "model/Global.h"
#include "record/Snapshot.h"
#include "session/BusScan.h"

namespace quorval {

namespace {

// A scan's modules are on a side of the ring; a query's answer has a letter.
void Print(Global& g, const QList<int>& ids, bool json, const char* letterKey = "side") {
    if (json) {
        QJsonArray array;
        for (int id : ids) {
            array.append(ModuleJson(StateOf(g.Bus.Modules(id)), letterKey));
        }
        Out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
        return;
    }
    for (int id : ids) {
        Out(ModuleLine(g.Bus.Modules(id)));
    }
}

// What a scan found, said; the exit status.
int ScanDone(Session& s, ScanOutcome outcome) {
    Global& g = *s.g;
    if (outcome == ScanOutcome::NoneFound) {
        Err(NoModulesMessage());
        return kExitSystem;
    }
    QList<int> ids;
    for (int i = 0; i < g.Bus.ModuleCount; ++i) {
        ids << g.Bus.ModuleOrder(i);
    }
    Print(g, ids, s.o.json);
    const QString save = s.o.Value(QStringLiteral("save"));
    if (!save.isEmpty() && outcome != ScanOutcome::Found) {
        Err(QStringLiteral("quorval-cli: no snapshot saved: the scan is not complete"));
    } else if (!save.isEmpty()) {
        const QString problem = WriteWhole(save, SnapshotJson(TakeSnapshot(g.Bus, s.o.port)));
        if (!problem.isEmpty()) {
            Err(QStringLiteral("quorval-cli: ") + problem);
            return kExitUsage;
        }
        Err(QStringLiteral("snapshot saved to %1").arg(save));
    }
    switch (outcome) {
        case ScanOutcome::LinkLost:
            return LinkFailed(QStringLiteral("the scan stopped after %1 modules, %2")
                                  .arg(ids.size())
                                  .arg(s.link->PortProblem()));
        case ScanOutcome::Stopped:
            Err(QStringLiteral("interrupted after %1 modules").arg(ids.size()));
            return kExitOk;
        case ScanOutcome::Foreign:
            return Refuse(ForeignModuleMessage());
        default:
            return kExitOk;
    }
}

int Scan(Session& s) {
    auto* scan = new BusScan(*s.link);
    QObject::connect(scan, &BusScan::finished,
                     [&s](ScanOutcome outcome) { s.Finish(ScanDone(s, outcome)); });
    return scan->Start() ? kRunning : kExitOk;  // turned away only by a stop
}

// A snapshot that cannot be written is said before the scan.
int CheckSave(Session& s) {
    if (!s.o.IsSet(QStringLiteral("save"))) {
        return kExitOk;
    }
    const QString problem = OutputProblem(s.o.Value(QStringLiteral("save")));
    if (!problem.isEmpty()) {
        return UsageError(problem);
    }
    return kExitOk;
}

int QueryCommand(Session& s) {
    return QueryThen(s, [&s] {
        Print(*s.g, {s.o.id}, s.o.json, "letter");
        s.Finish(kExitOk);
    });
}

int Monitor(Session& s) {
    ModuleLink& link = *s.link;
    s.g->DebugEnabled = s.o.debug;
    Err(QStringLiteral("listening; Ctrl-C to stop"));
    QObject::connect(&link, &ModuleLink::FrameParsed,
                     [](const ResponseFrame& f, FrameOutcome o) { Out(FrameLine(f, o)); });
    if (s.o.debug) {
        QObject::connect(&link, &ModuleLink::DebugLine, [](const QString& line) { Out(line); });
    }
    auto* stopCheck = new QTimer(&link);
    QObject::connect(stopCheck, &QTimer::timeout, [&s, &link] {
        if (link.StopRequested()) {
            s.Finish(kExitOk);
        }
    });
    stopCheck->start(20);
    QObject::connect(&link, &ModuleLink::LinkLost, [&s, &link] {
        LinkFailed(link.PortProblem());
        s.Finish(kExitLink);
    });
    return kRunning;
}

}  // namespace

std::vector<CommandRule> ReadCommands() {
    return {
        {"scan", nullptr, PortUse::Required, false, {"json", "save"}, {}, Scan, CheckSave},
        {"query", "ID", PortUse::Required, false, {"json"}, {}, QueryCommand},
        {"monitor", nullptr, PortUse::Required, true, {"debug"}, {}, Monitor},
    };
}

}  // namespace quorval
