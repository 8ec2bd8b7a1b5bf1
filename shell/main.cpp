// quorval-setup: the QUORVAL Setup Tool.

#include <cstdio>
#include <memory>
#include <optional>

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include "link/QtSerialComm.h"
#include "model/Global.h"
#include "quorval/Version.h"
#include "shell/frmMain.h"
#include "ui/MessageBoxes.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// A window program starts without a console on Windows. The answer to --help
// and --version goes to the console it was started from, if any; elsewhere
// standard output is always there.
bool HaveConsole() {
#ifdef Q_OS_WIN
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE) {
        return true;  // redirected into a file or a pipe
    }
    return AttachConsole(ATTACH_PARENT_PROCESS) && std::freopen("CONOUT$", "w", stdout);
#else
    return true;
#endif
}

// --help and --version are answered before QApplication exists, so they work
// without a display. Anything else (Qt's own -platform, -geometry, ...) is
// left to QApplication.
std::optional<QString> InfoAnswer(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    // Keeps Qt's single-dash words whole: -reverse is not -r -e -v ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Inspects and configures QUORVAL fibre-optic CAN coupler systems (LWL-System)\n"
        "through one serial port. See quorval-setup(1) for the settings file.\n"
        "Qt's own options, such as -platform NAME and -geometry WxH+X+Y, work too."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version and exits."));
    parser.addOption(help);
    parser.addOption(version);
    parser.parse(args);  // unknown options are Qt's; not an error here
    if (parser.isSet(version)) {
        return QStringLiteral("quorval-setup %1\n").arg(QLatin1String(quorval::version::kText));
    }
    if (parser.isSet(help)) {
        // Without an application object the usage line lacks the program name.
        return QStringLiteral("Usage: quorval-setup [options]\n") +
               parser.helpText().section(QLatin1Char('\n'), 1);
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<QString> answer = InfoAnswer(argc, argv);
    if (answer && HaveConsole()) {
        std::fputs(answer->toLocal8Bit().constData(), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    quorval::Global g;
    std::unique_ptr<quorval::frmMain> main;
    if (answer) {
        // Started from the desktop: where a Windows user can see it.
        QMessageBox* box =
            quorval::OpenMessageBox(nullptr, answer->trimmed(), quorval::MessageIcon::Information,
                                    QStringLiteral("quorval-setup"));
        QObject::connect(box, &QMessageBox::finished, &app, &QApplication::quit);
    } else {
        main = std::make_unique<quorval::frmMain>(g, std::make_unique<quorval::QtSerialComm>());
        g.MsgBox = quorval::MessageBoxes([&main] { return main.get(); });
        main->show();
    }
    return app.exec();
}
