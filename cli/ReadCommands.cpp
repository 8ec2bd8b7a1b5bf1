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

int Scan(Session& s) {
    Global& g = *s.g;
    ModuleLink& link = *s.link;
    const ScanOutcome outcome = ScanBus(g, link);
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
                                  .arg(link.PortProblem()));
        case ScanOutcome::Stopped:
            Err(QStringLiteral("interrupted after %1 modules").arg(ids.size()));
            return kExitOk;
        case ScanOutcome::Foreign:
            return Refuse(ForeignModuleMessage());
        default:
            return kExitOk;
    }
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
    const int id = s.o.id;
    if (const Answer a = Query(*s.g, *s.link, id); a != Answer::Answered) {
        return NoAnswer(*s.link, a, id);
    }
    Print(*s.g, {id}, s.o.json, "letter");
    return kExitOk;
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
    QTimer stopCheck;
    QObject::connect(&stopCheck, &QTimer::timeout, [&s, &link] {
        if (link.StopRequested()) {
            s.app.quit();
        }
    });
    stopCheck.start(20);
    QObject::connect(&link, &ModuleLink::LinkLost, [&s, &link] {
        LinkFailed(link.PortProblem());
        s.app.exit(kExitLink);
    });
    return s.app.exec();
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
