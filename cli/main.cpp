// quorval-cli: the setup tool's link to the modules, without windows.

#include <csignal>
#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include "cli/CliFormat.h"
#include "common/EventYield.h"
#include "common/Global.h"
#include "link/CommandFrame.h"
#include "link/ModuleLink.h"
#include "link/QtSerialComm.h"

using namespace quorval;

namespace {

constexpr int kAnswerLimitMs = 2000;
// After the first scan answer, the scan ends once nothing new has been parsed
// for this long: a frame waits up to one poll (100 ms) and one parse (100 ms)
// before it counts, and answers follow each other within ~15 ms on the line.
constexpr int kScanQuietMs = 500;
constexpr int kScanLimitMs = 8000;

const char* const kUsage =
    "usage: quorval-cli --port PORT scan [--json]\n"
    "       quorval-cli --port PORT query ID [--json]\n"
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
    "  monitor       prints every answer frame as it is parsed until interrupted;\n"
    "                --debug adds the byte counts and a hex dump of all bytes\n"
    "  --json        prints an array of objects with the keys id, side, version\n"
    "                (raw byte), mode (raw byte), status1, status2 (true = error),\n"
    "                errors1, errors2\n"
    "\n"
    "Exit status: 0 success; 1 no module answered; 2 bad usage or the port cannot\n"
    "be opened.\n";

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
    return 2;
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

int Scan(Global& g, ModuleLink& link, bool json) {
    g.Bus.ModuleCount = 0;
    g.Bus.MinVersion = 255;
    link.SendCommand(kCmdScan);
    QElapsedTimer total;
    total.start();
    if (!WaitUntil([&] { return g.Bus.ModuleCount > 0; }, kAnswerLimitMs)) {
        Err(QStringLiteral("No Modules found! Check the serial connection and try it again."));
        return 1;
    }
    QElapsedTimer quiet;
    quiet.start();
    const auto connection =
        QObject::connect(&link, &ModuleLink::FrameParsed, [&quiet] { quiet.restart(); });
    while (quiet.elapsed() < kScanQuietMs && total.elapsed() < kScanLimitMs && !g_interrupted) {
        YieldToEventLoop();
    }
    QObject::disconnect(connection);
    QList<int> ids;
    for (int i = 0; i < g.Bus.ModuleCount; ++i) {
        ids << g.Bus.ModuleOrder(i);
    }
    Print(g, ids, json);
    return 0;
}

int Query(Global& g, ModuleLink& link, int id, bool json) {
    const float before = g.Bus.Modules(id).GetTimeStamp();
    g.TxByte1 = static_cast<std::uint8_t>(id % 256);
    g.TxByte2 = static_cast<std::uint8_t>(id / 256);
    link.SendCommand(kCmdQuery);
    if (!WaitUntil([&] { return g.Bus.Modules(id).GetTimeStamp() != before; }, kAnswerLimitMs)) {
        Err(QStringLiteral("Modul with ID %1 not answer!").arg(id));
        return 1;
    }
    Print(g, {id}, json);
    return 0;
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
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    QString port;
    bool json = false;
    bool debug = false;
    QStringList words;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--port")) {
            if (i + 1 >= args.size()) {
                return Usage(QStringLiteral("--port needs a value"));
            }
            port = args[++i];
        } else if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--debug")) {
            debug = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return Usage(QStringLiteral("unknown option %1").arg(a));
        } else {
            words << a;
        }
    }
    if (port.isEmpty()) {
        return Usage(QStringLiteral("--port PORT is required"));
    }
    if (words.isEmpty()) {
        return Usage(QStringLiteral("say scan, query ID or monitor"));
    }
    const QString command = words.takeFirst();
    int queryId = -1;
    if (command == QLatin1String("query")) {
        bool ok = false;
        queryId = words.isEmpty() ? -1 : words.takeFirst().toInt(&ok);
        if (!ok || !IsValidModuleID(queryId)) {
            return Usage(QStringLiteral("query needs a module ID from 0 to 32000"));
        }
    } else if (command != QLatin1String("scan") && command != QLatin1String("monitor")) {
        return Usage(QStringLiteral("unknown command %1").arg(command));
    }
    if (!words.isEmpty()) {
        return Usage(QStringLiteral("unexpected %1").arg(words.join(QLatin1Char(' '))));
    }
    if ((json && command == QLatin1String("monitor")) ||
        (debug && command != QLatin1String("monitor"))) {
        return Usage(QStringLiteral("--json goes with scan and query, --debug with monitor"));
    }

    auto comm = std::make_unique<QtSerialComm>();
    const int comNumber = ComPortNumber(port);
    const QString device = comNumber ? comm->Map().Device(comNumber) : port;
    if (const int rc = comm->OpenDevice(device); rc != 0) {
        const QString why =
            rc == MSComm::kErrPortInUse    ? QStringLiteral("in use by another program")
            : rc == MSComm::kErrNoSuchPort ? QStringLiteral("not found")
            : rc == MSComm::kErrNoPermission
                ? QStringLiteral("no permission (is this user in the dialout group?)")
                : comm->LastErrorText();
        Err(QStringLiteral("quorval-cli: cannot open %1 (%2): %3").arg(port, device, why));
        return 2;
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    Global g;
    ModuleLink link(g, std::move(comm));
    link.StartTimers();
    if (command == QLatin1String("scan")) {
        return Scan(g, link, json);
    }
    if (command == QLatin1String("query")) {
        return Query(g, link, queryId, json);
    }
    return Monitor(app, g, link, debug);
}
