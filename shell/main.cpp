// quorval-setup: the QUORVAL Setup Tool.

#include <cstdio>
#include <optional>

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include "common/Global.h"
#include "link/QtSerialComm.h"
#include "quorval/Version.h"
#include "shell/frmMain.h"

namespace {

// --help and --version are answered before QApplication exists, so they work
// without a display. Anything else (Qt's own -platform, -geometry, ...) is
// left to QApplication.
std::optional<int> AnswerInfoOptions(int argc, char** argv) {
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
        std::printf("quorval-setup %s\n", quorval::version::kText);
        return 0;
    }
    if (parser.isSet(help)) {
        // Without an application object the usage line lacks the program name.
        const QString options = parser.helpText().section(QLatin1Char('\n'), 1);
        std::printf("Usage: quorval-setup [options]\n%s", qPrintable(options));
        return 0;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto rc = AnswerInfoOptions(argc, argv)) {
        return *rc;
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
