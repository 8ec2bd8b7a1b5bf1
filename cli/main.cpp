// quorval-cli: the setup tool's link to the modules, without windows.

#include <csignal>
#include <cstdio>
#include <iterator>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

#include "cli/Cli.h"
#include "cli/ConfigFile.h"
#include "common/Parse.h"
#include "link/ModuleLink.h"
#include "link/QtSerialComm.h"
#include "link/SetupPorts.h"
#include "model/Global.h"
#include "model/ModeByte.h"
#include "model/ModuleText.h"
#include "publish/MqttConfig.h"
#include "publish/ServiceNotify.h"
#include "quorval/Version.h"

using namespace quorval;

namespace {

const char* const kDescription =
    "Talks to a QUORVAL LWL-System through one serial port at 9600 baud, 8N1.\n"
    "\n"
    "Commands:\n"
    "  scan          asks every module to report itself (\"G\"), waits until answers\n"
    "                stop coming, and lists the modules in display order: ID, side\n"
    "                (the answer's letter), firmware version, status and error counter\n"
    "                of CH1 and CH2, configuration byte as bits and decoded;\n"
    "                --save FILE also keeps them as a snapshot (JSON)\n"
    "  query ID      asks module ID (0..32000) for its state (\"P\"), waits up to 2 s\n"
    "  set ID        asks module ID for its configuration, replaces its error relay\n"
    "                logic with --relay and sends it back (\"S\"; \"W\" with --eeprom)\n"
    "  program       scans, then programs every module found, the one attached to\n"
    "                the PC last, with one configuration (--baud, --identifiers,\n"
    "                --topology, --relay), offered by the same rules as the Global\n"
    "                Settings window; each module's line says whether the port took\n"
    "                its frame, the last line counts them\n"
    "  monitor       prints every answer frame as it is parsed until interrupted\n"
    "  check BASELINE\n"
    "                scans and compares with a snapshot or scan --json file: one\n"
    "                line per difference, most serious first, then a verdict\n"
    "  report        writes one self-contained HTML page (--out) of a scan\n"
    "                (--port), a snapshot (--snapshot) or the last round of a\n"
    "                watch log (--watch alone): ring, module table, with\n"
    "                --baseline the differences, with --watch LOG.csv the summary\n"
    "                of the log's last watch and a trend plot per channel that\n"
    "                changed; rows it cannot read are named and left out; for\n"
    "                handing over or printing; 0 once the file is written\n"
    "  watch         scans every --interval seconds (default 10) for --duration\n"
    "                seconds or until Ctrl-C; writes one CSV row per module per\n"
    "                round to --out FILE (appended), to a file a day in --log-dir\n"
    "                DIR (--keep-days N removes the older ones) or to standard\n"
    "                output, with --prom FILE metrics for Prometheus; says on\n"
    "                standard error what changed (a module missing, back or new,\n"
    "                a channel in error or ok, a counter that rose or fell, the\n"
    "                link lost or back) and ends with a summary; a lost link is\n"
    "                opened again every interval. Exit status 0 nothing happened,\n"
    "                2 a counter rose, a channel was in error, a module went\n"
    "                missing or was of another make, 3 the link was lost and not\n"
    "                back at the end; a signal is its normal end. With --mqtt\n"
    "                URL it also publishes the state and the events to an MQTT\n"
    "                broker (quorval/NAME/...), which never holds it up\n"
    "  ports         lists the devices of COM1..COM4 and every serial port the\n"
    "                system has: device, state (free, in use, no permission, not\n"
    "                found, not responding), description, maker, serial number,\n"
    "                USB vendor:product, /dev/serial/by-id name, how COMn got it\n"
    "\n"
    "--config FILE reads options from an INI file: [global] port = PORT, [watch]\n"
    "the watch's options by their long names (interval = 10, json = yes); ';'\n"
    "starts a comment, names are not case-sensitive, the command line wins.\n"
    "\n"
    "Exit status, for every command:\n"
    "  0  success\n"
    "  1  usage error (unknown option, missing value, module ID outside 0..32000,\n"
    "     a snapshot or watch log that cannot be read, a file that cannot be\n"
    "     written; watch: an interval below 1 s, an --out file that cannot take\n"
    "     the log, a broker that refuses the watch at its start)\n"
    "  2  the system answered but something is wrong: no modules found, a module\n"
    "     that does not answer, a none-QUORVAL module, a choice the oldest\n"
    "     firmware does not offer; check: the system differs from the baseline\n"
    "     or a channel is in error\n"
    "  3  the link failed: the port cannot be opened, the link was lost during\n"
    "     the command, or a frame was refused by the port\n"
    "  130, 143  ended by SIGINT (Ctrl-C) or SIGTERM: scan, query, set, program,\n"
    "     check and report stop at once, say what they did so far and send\n"
    "     nothing more; for monitor and watch a signal is the normal end";

// The signal that asked the program to stop; 0 while none has.
volatile std::sig_atomic_t g_signal = 0;
void OnSignal(int signal) {
    g_signal = signal;
}

// "0".."3" or a relay caption -> its caption; empty when it is neither.
QString RelayCaptionFromArg(const QString& arg) {
    const std::string text = arg.toStdString();
    if (const auto n = ParseWhole(text, 0, 3)) {
        return QString::fromLatin1(kRelayCaptions[static_cast<std::size_t>(*n)]);
    }
    for (const char* caption : kRelayCaptions) {
        if (EqualNoCase(text, caption)) {
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

std::vector<CommandRule> AllCommands() {
    std::vector<CommandRule> all;
    for (const auto family :
         {ReadCommands, WriteCommands, RecordCommands, WatchCommands, PortCommands}) {
        std::vector<CommandRule> rules = family();
        std::move(rules.begin(), rules.end(), std::back_inserter(all));
    }
    return all;
}

const CommandRule* FindRule(const std::vector<CommandRule>& rules, const QString& name) {
    for (const CommandRule& r : rules) {
        if (name == QLatin1String(r.name)) {
            return &r;
        }
    }
    return nullptr;
}

// Reads the parsed command line into o; an error text when it does not make sense.
QString Check(const QCommandLineParser& parser, const std::vector<CommandRule>& rules,
              const CommandRule*& rule, Options& o) {
    o.parser = &parser;
    o.port = parser.value(QStringLiteral("port"));
    QStringList words = parser.positionalArguments();
    if (words.isEmpty()) {
        return QStringLiteral(
            "say scan, query ID, set ID, program, monitor, check, report, watch or ports");
    }
    o.command = words.takeFirst();
    rule = FindRule(rules, o.command);
    if (!rule) {
        return QStringLiteral("unknown command %1").arg(o.command);
    }
    if (o.port.isEmpty() && rule->port == PortUse::Required) {
        return QStringLiteral("--port PORT is required");
    }
    if (rule->operand) {
        if (words.isEmpty()) {
            return QStringLiteral("%1 needs %2").arg(o.command, QLatin1String(rule->operand));
        }
        o.operands << words.takeFirst();
    }
    if (rule->operand && QLatin1String(rule->operand) == QLatin1String("ID")) {
        const auto id = ModuleIdFromText(o.operands.first());
        if (!id) {
            return QStringLiteral("%1 needs a module ID from 0 to 32000").arg(o.command);
        }
        o.id = *id;
    }
    if (!words.isEmpty()) {
        return QStringLiteral("unexpected %1").arg(words.join(QLatin1Char(' ')));
    }
    for (const QString& name : parser.optionNames()) {
        if (name != QLatin1String("port") && name != QLatin1String("config") &&
            !rule->allowed.contains(name)) {
            return QStringLiteral("--%1 does not go with %2").arg(name, o.command);
        }
    }
    for (const QString& name : rule->required) {
        if (!parser.isSet(name)) {
            return QStringLiteral("%1 needs --%2").arg(o.command, name);
        }
    }
    o.json = parser.isSet(QStringLiteral("json"));
    o.debug = parser.isSet(QStringLiteral("debug"));
    o.eeprom = parser.isSet(QStringLiteral("eeprom"));
    if (parser.isSet(QStringLiteral("relay"))) {
        o.relay = RelayCaptionFromArg(parser.value(QStringLiteral("relay")));
        if (o.relay.isEmpty()) {
            return QStringLiteral("--relay takes 0..3 or a relay caption, not '%1'")
                .arg(parser.value(QStringLiteral("relay")));
        }
    }
    if (parser.isSet(QStringLiteral("baud"))) {
        o.baud = BaudCaptionFromArg(parser.value(QStringLiteral("baud")));
        if (o.baud.isEmpty()) {
            return QStringLiteral("--baud takes 10, 20, 50, 100, 125, 250, 500 or 1000");
        }
    }
    o.identifiers = parser.value(QStringLiteral("identifiers"));
    if (parser.isSet(QStringLiteral("identifiers")) && o.identifiers != QLatin1String("11") &&
        o.identifiers != QLatin1String("29")) {
        return QStringLiteral("--identifiers takes 11 or 29");
    }
    o.topology = parser.value(QStringLiteral("topology"));
    if (parser.isSet(QStringLiteral("topology")) && o.topology != QLatin1String("point-to-point") &&
        o.topology != QLatin1String("line-or-ring")) {
        return QStringLiteral("--topology takes point-to-point or line-or-ring");
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(version::kText));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    const auto valued = [](const char* name, const char* text, const char* value) {
        return QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(text),
                                  QString::fromLatin1(value));
    };
    const auto flag = [](const char* name, const char* text) {
        return QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(text));
    };
    QList<QCommandLineOption> options{
        valued("port",
               "COM1..COM4 (as in the window: its settings file's com1..com4 keys, else on "
               "Linux the USB adapters, then the built-in UARTs; see ports) or a device "
               "path, such as /dev/serial/by-id/..., /dev/ttyUSB0 or a simulator's link.",
               "PORT"),
        flag("json",
             "ports: an array of objects, one per line of the listing. "
             "scan, query: an array of objects with the keys id, side, version (raw byte), "
             "mode (raw byte), status1, status2 (true = error), errors1, errors2; query has "
             "letter (of the answer) in place of side. check: an "
             "array of differences with the keys module, what, was, now. watch: JSON Lines on "
             "standard output, one object per sample with the CSV's field names and one per "
             "event with an \"event\" field."),
        valued("save", "scan: also write the modules found as a snapshot to FILE.", "FILE"),
        valued("out",
               "report: the HTML file to write. watch: appends the samples as CSV to this file "
               "(a new one gets the header line).",
               "FILE"),
        valued("snapshot", "report: report on this snapshot instead of a scan.", "FILE"),
        valued("baseline", "report: list the differences from this snapshot.", "FILE"),
        valued("watch",
               "report: the summary of the last watch in this log of watch --out (or directory "
               "of watch --log-dir, its day files read as one log) and a trend plot per "
               "channel where something happened; without --port or --snapshot the log's last "
               "round is the state reported on.",
               "LOG.csv|DIR"),
        valued("title", "report: the title on top (default \"LWL-System report\").", "TEXT"),
        valued("relay",
               "set, program: the error relay logic, 0..3 or its caption: 0 \"CH1_Error AND "
               "CH2_Error\", 1 \"NOT CH1_Error AND NOT CH2_Error\", 2 \"CH1_Error OR "
               "CH2_Error\", 3 \"NOT CH1_Error OR NOT CH2_Error\".",
               "R"),
        flag("eeprom", "set, program: store it in the modules' EEPROM (\"W\" frames)."),
        valued("baud", "program: CAN baud rate, 10, 20, 50, 100, 125, 250, 500 or 1000 kBit/s.",
               "RATE"),
        valued("identifiers", "program: CAN identifiers, 11 or 29 bits.", "BITS"),
        valued("topology", "program: point-to-point or line-or-ring.", "TOPOLOGY"),
        flag("debug", "monitor: the byte counts and a hex dump of all bytes as well."),
        valued("interval", "watch: seconds from one round to the next, at least 1 (default 10).",
               "SECONDS"),
        valued("duration", "watch: ends it after this many seconds (default: until Ctrl-C).",
               "SECONDS"),
        valued("log-dir",
               "watch: writes the samples to a file a day in this directory (made when "
               "missing), DIR/YYYY-MM-DD.csv by the UTC date of each round; not with --out.",
               "DIR"),
        valued("keep-days",
               "watch, with --log-dir: removes the day files older than N days, at the start "
               "and at every change of day.",
               "N"),
        valued("prom",
               "watch: writes the metrics for Prometheus' node_exporter textfile collector to "
               "FILE after every round (through a temporary file, renamed).",
               "FILE"),
        valued("config",
               "reads options from an INI file: [global] port, [watch] the watch's options, "
               "each key a long option's name; the command line wins.",
               "FILE"),
    };
    options += MqttCommandLineOptions(QStringLiteral("watch: "));
    parser.addOptions(options);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("scan, query ID, set ID, program, monitor, "
                                                "check BASELINE, report, watch or ports."),
                                 QStringLiteral("command [ID|BASELINE]"));
    // process() ends with 1 on unknown options and missing values, 0 on --help and --version.
    parser.process(app);
    const std::vector<CommandRule> rules = AllCommands();
    if (const int status = ApplyConfigFile(parser, app.arguments(), rules, options)) {
        return status;
    }
    const CommandRule* rule = nullptr;
    Options o;
    if (const QString problem = Check(parser, rules, rule, o); !problem.isEmpty()) {
        std::fprintf(stderr, "quorval-cli: %s\n\n%s", qPrintable(problem),
                     qPrintable(parser.helpText()));
        return kExitUsage;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    Session session{app, o};
    if (rule->prepare) {
        if (const int status = rule->prepare(session); status != kExitOk) {
            return status;
        }
    }
    Global g;
    std::unique_ptr<ModuleLink> link;
    if (rule->port == PortUse::Required || (rule->port == PortUse::Optional && !o.port.isEmpty())) {
        auto comm = std::make_unique<QtSerialComm>();
        const int number = SelectPort(*comm, o.port, ReadSetupPorts());
        if (const int rc = comm->SetPortOpen(true); rc != 0) {
            const QString why = OpenErrorReason(rc, comm->LastErrorText());
            const QString problem = QStringLiteral("cannot open %1 (%2): %3")
                                        .arg(o.port, comm->DeviceName(number), why);
            NotifyService("READY=1\nSTATUS=" + problem.toUtf8());  // a service restarts it
            return LinkFailed(problem);
        }
        link = std::make_unique<ModuleLink>(g, std::move(comm));
        link->StartTimers();
        session.g = &g;
        session.link = link.get();
    }
    // The exchange on the line ends as stopped at the next check.
    QTimer signalCheck;
    QObject::connect(&signalCheck, &QTimer::timeout, [&link] {
        if (g_signal && link) {
            link->RequestStop();
        }
    });
    signalCheck.start(20);

    // The command starts from the event loop and hands its status back to it.
    QTimer::singleShot(0, &app, [&] {
        if (const int status = rule->run(session); status != kRunning) {
            session.Finish(status);
        }
    });
    const int status = app.exec();
    link.reset();  // the port and its lock are free before the program ends
    if (g_signal && !rule->signalEnds) {
        return 128 + g_signal;  // as shells expect of a program ended by a signal
    }
    return status;
}
