#include "cli/Commands.h"

#include <cstdio>

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include "bus/BusScan.h"
#include "bus/ModuleText.h"
#include "cli/CliFormat.h"
#include "common/Bits.h"
#include "common/EventYield.h"
#include "common/Global.h"
#include "config/GlobalSettingsModel.h"
#include "config/ProgrammingRun.h"
#include "config/RelayLogic.h"
#include "link/CommandFrame.h"
#include "link/ModuleLink.h"

namespace quorval {

namespace {

constexpr int kAnswerLimitMs = 2000;

void Out(const QString& line) {
    std::fputs(qPrintable(line), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Err(const QString& line) {
    std::fputs(qPrintable(line), stderr);
    std::fputc('\n', stderr);
}

}  // namespace

int Refuse(const QString& why) {
    Err(QStringLiteral("quorval-cli: ") + why);
    return kExitSystem;
}

int LinkFailed(const QString& why) {
    Err(QStringLiteral("quorval-cli: ") + why);
    return kExitLink;
}

namespace {

// Notices a loss of the link while a command runs.
struct LossWatch {
    ModuleLink& link;
    int start = link.Losses();
    bool Lost() const { return link.Losses() != start; }
};

void Print(Global& g, const QList<int>& ids, bool json) {
    if (json) {
        QJsonArray array;
        for (int id : ids) {
            array.append(ModuleJson(g.Bus.Modules(id)));
        }
        Out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
        return;
    }
    for (int id : ids) {
        Out(ModuleLine(g.Bus.Modules(id)));
    }
}

enum class Answer { Answered, Silent, Lost };

Answer Query(Global& g, ModuleLink& link, int id) {
    const LossWatch watch{link};
    const float before = g.Bus.Modules(id).GetTimeStamp();
    g.TxByte1 = static_cast<std::uint8_t>(id % 256);
    g.TxByte2 = static_cast<std::uint8_t>(id / 256);
    link.SendCommand(kCmdQuery);
    const bool answered = WaitUntil(
        [&] { return g.Bus.Modules(id).GetTimeStamp() != before || watch.Lost(); }, kAnswerLimitMs);
    if (watch.Lost()) {
        return Answer::Lost;
    }
    return answered ? Answer::Answered : Answer::Silent;
}

// Says why a query got nothing; the exit status.
int NoAnswer(ModuleLink& link, Answer a, int id) {
    if (a == Answer::Lost) {
        return LinkFailed(link.PortProblem());
    }
    Err(QStringLiteral("Modul with ID %1 not answer!").arg(id));
    return kExitSystem;
}

const QString kNoModules = QString::fromLatin1(kNoModulesText);
// A terminal wants plain line ends.
const QString kForeign =
    QString::fromLatin1(kForeignModuleText).replace(QLatin1String("\r\n"), QLatin1String("\n"));

// One line per configuration frame sent.
QString SentLine(int id, bool eeprom, std::uint8_t mode) {
    return QStringLiteral("%1  %2 0x%3 %4  (%5)")
        .arg(id, 5)
        .arg(QChar(eeprom ? 'W' : 'S'))
        .arg(mode, 2, 16, QLatin1Char('0'))
        .arg(QString::fromStdString(ByteToBits(mode)), DecodedMode(mode));
}

int Scan(Global& g, ModuleLink& link, bool json) {
    const ScanOutcome outcome = ScanBus(g, link);
    if (outcome == ScanOutcome::NoneFound) {
        Err(kNoModules);
        return kExitSystem;
    }
    QList<int> ids;
    for (int i = 0; i < g.Bus.ModuleCount; ++i) {
        ids << g.Bus.ModuleOrder(i);
    }
    Print(g, ids, json);
    if (outcome == ScanOutcome::LinkLost) {
        return LinkFailed(QStringLiteral("the scan stopped after %1 modules, %2")
                              .arg(ids.size())
                              .arg(link.PortProblem()));
    }
    if (outcome == ScanOutcome::Foreign) {
        return Refuse(kForeign);
    }
    return kExitOk;
}

int QueryCommand(Global& g, ModuleLink& link, int id, bool json) {
    if (const Answer a = Query(g, link, id); a != Answer::Answered) {
        return NoAnswer(link, a, id);
    }
    Print(g, {id}, json);
    return kExitOk;
}

int Set(Global& g, ModuleLink& link, const Options& o) {
    if (const Answer a = Query(g, link, o.id); a != Answer::Answered) {
        return NoAnswer(link, a, o.id);
    }
    ModuleData& record = g.Bus.Modules(o.id);
    const std::uint8_t mode = WithRelay(record.GetMode(), RelayValueForText(o.relay));
    g.TxByte3 = mode;
    g.TxByte2 = static_cast<std::uint8_t>(o.id / 256);
    g.TxByte1 = static_cast<std::uint8_t>(o.id % 256);
    if (!link.DeliverCommand(o.eeprom ? kCmdWrite : kCmdSet)) {
        return LinkFailed(QStringLiteral("module %1 was not changed: the port did not take the "
                                         "frame (%2)")
                              .arg(o.id)
                              .arg(link.PortProblem()));
    }
    record.SetMode(mode);
    Out(SentLine(o.id, o.eeprom, mode));
    return kExitOk;
}

int Program(Global& g, ModuleLink& link, const Options& o) {
    // The dialog as the program creates it, then as a scan leaves it.
    GlobalSettingsModel model;
    model.SetProperties(g.Bus.MinVersion);
    model.SelectBaud(QStringLiteral("125 KBit/s"), g.Bus.MinVersion);
    const auto shown = QObject::connect(
        &link, &ModuleLink::AttachedModeReported,
        [&](std::uint8_t mode) { model.ShowReportedMode(mode, g.Bus.MinVersion); });
    const ScanOutcome outcome = ScanBus(g, link);
    QObject::disconnect(shown);
    if (outcome == ScanOutcome::NoneFound) {
        Err(kNoModules);
        return kExitSystem;
    }
    if (outcome == ScanOutcome::LinkLost) {
        return LinkFailed(
            QStringLiteral("nothing programmed, the scan stopped: %1").arg(link.PortProblem()));
    }
    if (outcome == ScanOutcome::Foreign) {
        return Refuse(kForeign);
    }
    model.SetProperties(g.Bus.MinVersion);
    const QString firmware = VersionText(g.Bus.MinVersion);

    const bool want29 = o.identifiers == QLatin1String("29");
    if (want29 && !model.Identifier29Enabled()) {
        return Refuse(QStringLiteral("29-bit identifiers are not offered: the oldest firmware "
                                     "found is %1, they need 3.3 or later")
                          .arg(firmware));
    }
    model.SelectIdentifier(want29, g.Bus.MinVersion);
    const QString& baud = o.baud;
    if (!model.SelectBaud(baud, g.Bus.MinVersion)) {
        return Refuse(
            QStringLiteral("%1 is not offered with %2-bit identifiers").arg(baud, o.identifiers));
    }
    const bool wantLine = o.topology == QLatin1String("line-or-ring");
    if (wantLine && !model.LineOrRingEnabled()) {
        return Refuse(QStringLiteral("line or ring topology is not offered with %1, %2-bit "
                                     "identifiers and firmware %3: use point-to-point")
                          .arg(baud, o.identifiers, firmware));
    }
    model.SelectTopology(wantLine ? GlobalSettingsModel::Topology::LineOrRing
                                  : GlobalSettingsModel::Topology::PointToPoint);
    model.SetRelayText(o.relay);

    const std::uint8_t mode = model.ModeByte();
    const std::vector<int> order = ProgrammingOrder(g);
    const ProgrammingResult result = ProgramModules(
        g, link, mode, order, [&o] { return o.eeprom; },
        [&](int id, bool sent, const ProgrammingResult&) {
            Out(SentLine(id, o.eeprom, mode) +
                (id == g.GModuleID ? QStringLiteral("  attached to the PC") : QString()) +
                (sent ? QString() : QStringLiteral("  REFUSED by the port")));
        });
    Out(RunSummary(result));
    if (result.failed > 0) {
        return LinkFailed(QStringLiteral("%1 modules not programmed: %2")
                              .arg(result.failed)
                              .arg(link.PortProblem()));
    }
    return kExitOk;
}

int Monitor(QCoreApplication& app, Global& g, ModuleLink& link, bool debug,
            const volatile std::sig_atomic_t& interrupted) {
    g.DebugEnabled = debug;
    Err(QStringLiteral("listening; Ctrl-C to stop"));
    QObject::connect(&link, &ModuleLink::FrameParsed,
                     [](const ResponseFrame& f, FrameOutcome o) { Out(FrameLine(f, o)); });
    if (debug) {
        QObject::connect(&link, &ModuleLink::DebugLine, [](const QString& line) { Out(line); });
    }
    QTimer stopCheck;
    QObject::connect(&stopCheck, &QTimer::timeout, [&app, &interrupted] {
        if (interrupted) {
            app.quit();
        }
    });
    stopCheck.start(50);
    QObject::connect(&link, &ModuleLink::LinkLost, [&app, &link] {
        LinkFailed(link.PortProblem());
        app.exit(kExitLink);
    });
    return app.exec();
}

}  // namespace

int RunCommand(QCoreApplication& app, Global& g, ModuleLink& link, const Options& o,
               const volatile std::sig_atomic_t& interrupted) {
    if (o.command == QLatin1String("scan")) {
        return Scan(g, link, o.json);
    }
    if (o.command == QLatin1String("query")) {
        return QueryCommand(g, link, o.id, o.json);
    }
    if (o.command == QLatin1String("set")) {
        return Set(g, link, o);
    }
    if (o.command == QLatin1String("program")) {
        return Program(g, link, o);
    }
    return Monitor(app, g, link, o.debug, interrupted);
}

}  // namespace quorval
