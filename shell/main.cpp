// quorval-setup: the QUORVAL Setup Tool.

#include <cstdio>
#include <optional>

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include "link/QtSerialComm.h"
#include "model/Global.h"
#include "quorval/Version.h"
#include "shell/frmMain.h"

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
    if (const auto answer = InfoAnswer(argc, argv)) {
        if (HaveConsole()) {
            std::fputs(answer->toLocal8Bit().constData(), stdout);
            return 0;
        }
        // Started from the desktop: where a Windows user can see it.
        QApplication app(argc, argv);
        QMessageBox::information(nullptr, QStringLiteral("quorval-setup"), answer->trimmed());
        return 0;
    }
    QApplication app(argc, argv);
    quorval::Global g;
    quorval::frmMain main(g, std::make_unique<quorval::QtSerialComm>());
    g.MsgBox = [&main](const QString& text, quorval::MessageIcon icon, const QString& title) {
        QMessageBox box(icon == quorval::MessageIcon::Critical ? QMessageBox::Critical
                                                               : QMessageBox::Information,
                        title, QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")),
                        QMessageBox::Ok, &main);
        box.exec();
    };
    main.show();
    return app.exec();
}
