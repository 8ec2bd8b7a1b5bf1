// quorval-cli: the setup tool's link to the modules, without windows.

#include <csignal>
#include <cstdio>

#include <QCoreApplication>
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
#include "link/ModeByte.h"
#include "link/ModuleLink.h"
#include "link/QtSerialComm.h"

using namespace quorval;

namespace {

constexpr int kAnswerLimitMs = 2000;

const char* const kUsage =
    "usage: quorval-cli --port PORT scan [--json]\n"
    "       quorval-cli --port PORT query ID [--json]\n"
    "       quorval-cli --port PORT set ID --relay R [--eeprom]\n"
    "       quorval-cli --port PORT program --baud RATE --identifiers 11|29\n"
    "                   --topology point-to-point|line-or-ring --relay R [--eeprom]\n"
    "       quorval-cli --port PORT monitor [--debug]\n"
    "\n"
    "Talks to a QUORVAL LWL-System through one serial port at 9600 baud, 8N1.\n"
    "\n"
    "  --port PORT   COM1..COM4 (on Linux /dev/ttyS0../dev/ttyS3) or a device path,\n"
    "                such as /dev/ttyUSB0 or a simulator's link\n"
    "  scan          asks every module to report itself (\"G\"), waits until answers\n"
    "                stop coming, and lists the modules in display order: ID, side,\n"
    "                firmware version, channel status and error counter of CH1 and\n"
    "                CH2, configuration byte as eight bits and decoded (baud rate,\n"
    "                identifier length, topology, error relay logic)\n"
    "  query ID      asks module ID (0..32000) for its state (\"P\"), waits up to 2 s\n"
    "  set ID        asks module ID for its configuration, replaces its error relay\n"
    "                logic with R and sends it back (\"S\"; \"W\" with --eeprom, which\n"
    "                stores it in the module's EEPROM)\n"
    "  program       scans, then programs every module found, the one attached to\n"
    "                the PC last, with one configuration, offered by the same rules\n"
    "                as the Global Settings window: a choice the window would not\n"
    "                offer after this scan is refused\n"
    "  monitor       prints every answer frame as it is parsed until interrupted;\n"
    "                --debug adds the byte counts and a hex dump of all bytes\n"
    "  --baud RATE   10, 20, 50, 100, 125, 250, 500 or 1000 (kBit/s)\n"
    "  --relay R     0..3 or its caption: 0 \"CH1_Error AND CH2_Error\",\n"
    "                1 \"NOT CH1_Error AND NOT CH2_Error\", 2 \"CH1_Error OR CH2_Error\",\n"
    "                3 \"NOT CH1_Error OR NOT CH2_Error\"\n"
    "  --json        prints an array of objects with the keys id, side, version\n"
    "                (raw byte), mode (raw byte), status1, status2 (true = error),\n"
    "                errors1, errors2\n"
    "\n"
    "Exit status, for every command:\n"
    "  0  success\n"
    "  1  usage error (unknown option, missing value, module ID outside 0..32000)\n"
    "  2  the system answered but something is wrong: no modules found, a module\n"
    "     that does not answer, a none-QUORVAL module, a choice the oldest\n"
    "     firmware does not offer\n"
    "  3  the link failed: the port cannot be opened, the link was lost during\n"
    "     the command, or a frame was refused by the port\n";

enum Exit : int {
    kExitOk = 0,
    kExitUsage = 1,
    kExitSystem = 2,
    kExitLink = 3,
};

volatile std::sig_atomic_t g_interrupted = 0;
void OnSignal(int) {
    g_interrupted = 1;
}

void Out(const QString& line) {
    std::fputs(qPrintable(line), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Err(const QString& line) {
    std::fputs(qPrintable(line), stderr);
    std::fputc('\n', stderr);
}

int Usage(const QString& problem) {
    Err(QStringLiteral("quorval-cli: ") + problem);
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

int Refuse(const QString& why) {
    Err(QStringLiteral("quorval-cli: ") + why);
    return kExitSystem;
}

int LinkFailed(const QString& why) {
    Err(QStringLiteral("quorval-cli: ") + why);
    return kExitLink;
}

QString LostText(ModuleLink& link) {
    return QStringLiteral("connection lost: %1").arg(link.MSComm1().LastErrorText());
}

// Notices a loss of the link while a command runs.
struct LossWatch {
    ModuleLink& link;
    int start = link.Losses();
    bool Lost() const { return link.Losses() != start; }
};

struct Options {
    QString port;
    QString command;
    int id = -1;
    bool json = false;
    bool debug = false;
    bool eeprom = false;
    QString baud, identifiers, topology, relay;
};

// "0".."3" or a relay caption -> its caption; empty when it is neither.
QString RelayCaptionFromArg(const QString& arg) {
    bool ok = false;
    const int n = arg.toInt(&ok);
    if (ok && n >= 0 && n <= 3) {
        return QString::fromLatin1(kRelayCaptions[static_cast<std::size_t>(n)]);
    }
    for (const char* caption : kRelayCaptions) {
        if (arg.compare(QLatin1String(caption), Qt::CaseInsensitive) == 0) {
            return QString::fromLatin1(caption);
        }
    }
    return {};
}

QString BaudCaptionFromArg(const QString& arg) {
    static const QStringList rates{"10", "20", "50", "100", "125", "250", "500", "1000"};
    const int i = static_cast<int>(rates.indexOf(arg));
    return i < 0 ? QString() : QString::fromLatin1(kBaudCaptions[static_cast<std::size_t>(i)]);
}

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
        return LinkFailed(LostText(link));
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
                              .arg(LostText(link)));
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
            QStringLiteral("nothing programmed, the scan stopped: %1").arg(LostText(link)));
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
    const QString baud = BaudCaptionFromArg(o.baud);
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

int Monitor(QCoreApplication& app, Global& g, ModuleLink& link, bool debug) {
    g.DebugEnabled = debug;
    Err(QStringLiteral("listening; Ctrl-C to stop"));
    QObject::connect(&link, &ModuleLink::FrameParsed,
                     [](const ResponseFrame& f, FrameOutcome o) { Out(FrameLine(f, o)); });
    if (debug) {
        QObject::connect(&link, &ModuleLink::DebugLine, [](const QString& line) { Out(line); });
    }
    QTimer stopCheck;
    QObject::connect(&stopCheck, &QTimer::timeout, [&app] {
        if (g_interrupted) {
            app.quit();
        }
    });
    stopCheck.start(50);
    QObject::connect(&link, &ModuleLink::LinkLost, [&app, &link] {
        LinkFailed(LostText(link));
        app.exit(kExitLink);
    });
    return app.exec();
}

// Reads the command line into o; an error text when it does not make sense.
QString Parse(const QStringList& args, Options& o) {
    QStringList words;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const std::pair<const char*, QString*> valued[] = {
            {"--port", &o.port},         {"--baud", &o.baud},   {"--identifiers", &o.identifiers},
            {"--topology", &o.topology}, {"--relay", &o.relay},
        };
        QString* target = nullptr;
        for (const auto& [name, field] : valued) {
            if (a == QLatin1String(name)) {
                target = field;
            }
        }
        if (target) {
            if (i + 1 >= args.size()) {
                return QStringLiteral("%1 needs a value").arg(a);
            }
            *target = args[++i];
        } else if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--debug")) {
            o.debug = true;
        } else if (a == QLatin1String("--eeprom")) {
            o.eeprom = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return QStringLiteral("unknown option %1").arg(a);
        } else {
            words << a;
        }
    }
    if (o.port.isEmpty()) {
        return QStringLiteral("--port PORT is required");
    }
    if (words.isEmpty()) {
        return QStringLiteral("say scan, query ID, set ID, program or monitor");
    }
    o.command = words.takeFirst();
    const bool needsId = o.command == QLatin1String("query") || o.command == QLatin1String("set");
    if (needsId) {
        const auto id = words.isEmpty() ? std::nullopt : ModuleIdFromText(words.takeFirst());
        if (!id) {
            return QStringLiteral("%1 needs a module ID from 0 to 32000").arg(o.command);
        }
        o.id = *id;
    } else if (o.command != QLatin1String("scan") && o.command != QLatin1String("monitor") &&
               o.command != QLatin1String("program")) {
        return QStringLiteral("unknown command %1").arg(o.command);
    }
    if (!words.isEmpty()) {
        return QStringLiteral("unexpected %1").arg(words.join(QLatin1Char(' ')));
    }
    const bool printsModules =
        o.command == QLatin1String("scan") || o.command == QLatin1String("query");
    const bool configures =
        o.command == QLatin1String("set") || o.command == QLatin1String("program");
    if (o.json && !printsModules) {
        return QStringLiteral("--json goes with scan and query");
    }
    if (o.debug && o.command != QLatin1String("monitor")) {
        return QStringLiteral("--debug goes with monitor");
    }
    if (o.eeprom && !configures) {
        return QStringLiteral("--eeprom goes with set and program");
    }
    if (configures) {
        if (o.relay.isEmpty()) {
            return QStringLiteral("%1 needs --relay R").arg(o.command);
        }
        const QString caption = RelayCaptionFromArg(o.relay);
        if (caption.isEmpty()) {
            return QStringLiteral("--relay takes 0..3 or a relay caption, not '%1'").arg(o.relay);
        }
        o.relay = caption;
    } else if (!o.relay.isEmpty()) {
        return QStringLiteral("--relay goes with set and program");
    }
    const bool programs = o.command == QLatin1String("program");
    if (programs) {
        if (BaudCaptionFromArg(o.baud).isEmpty()) {
            return QStringLiteral("program needs --baud 10, 20, 50, 100, 125, 250, 500 or 1000");
        }
        if (o.identifiers != QLatin1String("11") && o.identifiers != QLatin1String("29")) {
            return QStringLiteral("program needs --identifiers 11 or 29");
        }
        if (o.topology != QLatin1String("point-to-point") &&
            o.topology != QLatin1String("line-or-ring")) {
            return QStringLiteral("program needs --topology point-to-point or line-or-ring");
        }
    } else if (!o.baud.isEmpty() || !o.identifiers.isEmpty() || !o.topology.isEmpty()) {
        return QStringLiteral("--baud, --identifiers and --topology go with program");
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Options o;
    if (const QString problem = Parse(args, o); !problem.isEmpty()) {
        return Usage(problem);
    }

    auto comm = std::make_unique<QtSerialComm>();
    const int comNumber = ComPortNumber(o.port);
    const QString device = comNumber ? comm->Map().Device(comNumber) : o.port;
    if (const int rc = comm->OpenDevice(device); rc != 0) {
        const QString why = OpenErrorReason(rc, comm->LastErrorText());
        return LinkFailed(QStringLiteral("cannot open %1 (%2): %3").arg(o.port, device, why));
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    Global g;
    ModuleLink link(g, std::move(comm));
    link.StartTimers();
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
    return Monitor(app, g, link, o.debug);
}
