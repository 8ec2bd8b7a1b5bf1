// quorval-watch: the watch of the system as a window, for the technician who
// does not use a terminal.

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include "common/Parse.h"
#include "link/PortMap.h"
#include "link/QtSerialComm.h"
#include "link/SetupPorts.h"
#include "model/Global.h"
#include "publish/MqttPublisher.h"
#include "publish/SystemName.h"
#include "quorval/Version.h"
#include "record/WatchLog.h"
#include "session/BusWatch.h"
#include "ui/MessageBoxes.h"
#include "watch/frmWatch.h"
#include "watch/frmWatchPort.h"

using namespace quorval;

namespace {

// The signal that asked the program to end; 0 while none has.
volatile std::sig_atomic_t g_signal = 0;
void OnSignal(int signal) {
    g_signal = signal;
}

struct Options {
    QString port;
    double interval = 10;
    QString out;
    std::optional<MqttConfig> mqtt;
    QString mqttName;
};

void AddOptions(QCommandLineParser& parser) {
    // Keeps Qt's single-dash words whole: -platform is not -p -l -a ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Watches a QUORVAL LWL-System for hours in a window: scans it every interval, shows\n"
        "the ring, a table of the modules, the error counters of the selected module over\n"
        "time and the events, and logs every round as quorval-cli watch --out does.\n"
        "Without --port it uses the port chosen in the setup tool; with --port it starts\n"
        "watching at once. Qt's own options, such as -platform NAME, work too."));
    parser.addOptions({
        {{QStringLiteral("h"), QStringLiteral("help")},
         QStringLiteral("Shows this help and exits.")},
        {{QStringLiteral("v"), QStringLiteral("version")},
         QStringLiteral("Shows the version and exits.")},
        {QStringLiteral("port"),
         QStringLiteral("COM1..COM4 (as the setup tool's settings file has them) or a device "
                        "path, such as /dev/ttyUSB0 or a simulator's link."),
         QStringLiteral("PORT")},
        {QStringLiteral("interval"),
         QStringLiteral("Seconds from one round to the next, at least 1 (default 10)."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("out"),
         QStringLiteral("Appends the samples to this CSV file (a new one gets the header line)."),
         QStringLiteral("FILE.csv")},
    });
    parser.addOptions(MqttCommandLineOptions());
}

int UsageError(const QString& why) {
    std::fprintf(stderr, "quorval-watch: %s\n", qPrintable(why));
    return 1;
}

// Reads the options. --help, --version and bad values are answered at once,
// before there is any window, so they need no display; options unknown here
// are Qt's and are left to the application. The status to end with, if any.
std::optional<int> ReadOptions(int argc, char** argv, Options& o) {
    QStringList args;
    for (int i = 0; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    AddOptions(parser);
    if (!parser.parse(args) && parser.unknownOptionNames().isEmpty()) {
        return UsageError(parser.errorText());
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("quorval-watch %s\n", version::kText);
        return 0;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        const QString options = parser.helpText().section(QLatin1Char('\n'), 1);
        std::printf("Usage: quorval-watch [options]\n%s", qPrintable(options));
        return 0;
    }
    o.port = parser.value(QStringLiteral("port"));
    if (parser.isSet(QStringLiteral("interval"))) {
        const QString text = parser.value(QStringLiteral("interval"));
        const std::optional<double> s = SecondsFromText(text, 1, kMaxIntervalS);
        if (!s) {
            return UsageError(
                QStringLiteral("--interval takes a number of seconds from 1 to 86400, not '%1'")
                    .arg(text));
        }
        o.interval = *s;
    }
    o.out = parser.value(QStringLiteral("out"));
    if (!o.out.isEmpty()) {
        if (const QString problem = WatchLogWriter::Check(o.out); !problem.isEmpty()) {
            return UsageError(problem);
        }
    }
    const auto given = [&parser](const QString& name) {
        return parser.isSet(name) ? std::optional<QString>(parser.value(name)) : std::nullopt;
    };
    const MqttOptionCheck mqtt = CheckMqttOptions(given);
    for (const QString& warning : mqtt.warnings) {
        std::fprintf(stderr, "quorval-watch: %s\n", qPrintable(warning));
    }
    if (!mqtt.error.isEmpty()) {
        return UsageError(mqtt.error);
    }
    o.mqtt = mqtt.config;
    o.mqttName = parser.value(QStringLiteral("mqtt-name"));
    return std::nullopt;
}

// What Qt left of the command line must be ours.
std::optional<int> CheckRest() {
    QCommandLineParser parser;
    AddOptions(parser);
    if (!parser.parse(QCoreApplication::arguments())) {
        return UsageError(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty()) {
        return UsageError(QStringLiteral("unexpected %1")
                              .arg(parser.positionalArguments().join(QLatin1Char(' '))));
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (const auto rc = ReadOptions(argc, argv, o)) {
        return *rc;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorval-watch"));
    QApplication::setApplicationVersion(QString::fromLatin1(version::kText));
    if (const auto rc = CheckRest()) {
        return *rc;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    Global g;
    std::unique_ptr<frmWatch> window;
    QPointer<frmWatchPort> ask;
    g.MsgBox = MessageBoxes([&window] { return window.get(); });

    // A signal ends the program as closing its window does: a port dialog is
    // cancelled, the watch window closes once its round is given up.
    QTimer signalCheck;
    QObject::connect(&signalCheck, &QTimer::timeout, [&window, &ask] {
        if (!g_signal) {
            return;
        }
        if (ask) {
            ask->reject();
        }
        if (window) {
            window->close();
        }
    });
    signalCheck.start(100);

    // COMn stands for the device it stands for in the setup tool.
    auto comm = std::make_unique<QtSerialComm>();
    const SetupPorts setup = ReadSetupPorts();
    const bool device = !o.port.isEmpty() && ComPortNumber(o.port) == 0;
    int number = SelectPort(*comm, o.port, setup);
    if (o.port.isEmpty()) {
        number = setup.comport;  // the port chosen in the setup tool
    }
    // Once the port is known: the window, watching at once when a port was given;
    // with a broker once it answered, and a broker that refuses ends the program.
    std::unique_ptr<MqttPublisher> mqtt;
    const auto begin = [&window, &o] {
        window->show();
        if (!o.port.isEmpty()) {
            window->StartWatch();
        }
    };
    const auto open = [&](int chosen) {
        comm->Map().Refresh();
        comm->SetCommPort(chosen);
        const QString name =
            device ? o.port
                   : QStringLiteral("COM%1 (%2)").arg(chosen).arg(comm->DeviceName(chosen));
        const QString system = SystemNameFor(o.mqttName, comm->DeviceName(chosen));
        window = std::make_unique<frmWatch>(g, std::move(comm), name);
        window->SetIntervalSeconds(o.interval);
        if (!o.out.isEmpty() && !window->SetLogFile(o.out)) {
            // Said in a message over the window not shown; the program ends once
            // it is closed.
            QApplication::setQuitOnLastWindowClosed(false);
            for (QMessageBox* box : window->findChildren<QMessageBox*>()) {
                QObject::connect(box, &QDialog::finished, &app, [] { QCoreApplication::exit(1); });
            }
            return;
        }
        if (!o.mqtt) {
            begin();
            return;
        }
        o.mqtt->name = system;
        mqtt = std::make_unique<MqttPublisher>(*o.mqtt);
        mqtt->Follow(window->Watch());
        window->ShowPublisher(*mqtt);
        QObject::connect(mqtt.get(), &MqttPublisher::Ready, window.get(), begin);
        QObject::connect(mqtt.get(), &MqttPublisher::Refused, &app, [](const QString& message) {
            UsageError(message);
            QCoreApplication::exit(1);
        });
        QApplication::setQuitOnLastWindowClosed(false);
        QObject::connect(&app, &QGuiApplication::lastWindowClosed, mqtt.get(),
                         &MqttPublisher::Close);
        QObject::connect(mqtt.get(), &MqttPublisher::Closed, &app, &QCoreApplication::quit);
        mqtt->Start();
    };
    if (number != 0) {
        open(number);
    } else {
        ask = new frmWatchPort(*comm);
        ask->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(ask, &QDialog::finished, &app, [&](int result) {
            const int chosen = ask ? ask->Chosen() : 0;
            if (result != QDialog::Accepted || chosen == 0 || g_signal) {
                QCoreApplication::quit();
                return;
            }
            open(chosen);
        });
        ask->open();
    }
    return app.exec();
}
