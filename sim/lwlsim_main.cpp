// lwlsim: a simulated LWL-System on a pseudo-terminal.

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <QCommandLineParser>
#include <QCoreApplication>

#include "quorval/Version.h"
#include "sim/PtyLink.h"
#include "sim/SimSystem.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

const char* const kDescription =
    "Plays a fibre-optic CAN coupler system (LWL-System) on a pseudo-terminal and\n"
    "makes PATH a symlink to it; point the setup tool's COM port at PATH.\n"
    "Prints 'ready PATH' once it answers; runs until SIGINT or SIGTERM, then\n"
    "removes PATH. A system file can make it hang up like a pulled USB adapter:\n"
    "it then removes PATH, closes the terminal, prints 'hangup' and exits with 0.\n"
    "Exits with 2 on a bad command line or a bad file.\n"
    "\n"
    "System file: INI, [module ID] with version, mode, side G|L|R, ch1_error,\n"
    "ch2_error, ch1_count, ch2_count, answers, and faults noise = HEX BYTES,\n"
    "corrupt = OFFSET, corrupt_value = BYTE, split = OFFSET, split_ms = MS;\n"
    "changes over time, in seconds after 'ready' (fractions allowed): ch1_rise,\n"
    "ch2_rise = STEP/SECONDS (the counter rises by STEP every SECONDS),\n"
    "ch1_reset, ch2_reset = SECONDS (the counter starts again from 0),\n"
    "absent = FROM-TO (the module answers nothing in that window);\n"
    "[system] turnaround_ms = MS, query_letter = LETTER (answer to \"P\", E..Z but\n"
    "not G, L, R; default P), hangup_after_rx = N (command frames received),\n"
    "hangup_after_tx = N (answer frames sent); 0 = never; stall_after_rx = N,\n"
    "stall_ms = MS (stop reading for MS, default 3000, after N command frames).\n"
    "A ';' after a blank starts a comment. Without a file: six modules.";

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(quorval::version::kText));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Where the symlink to the terminal goes."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption systemFile(
        QStringLiteral("system"), QStringLiteral("The modules to play."), QStringLiteral("FILE"));
    const QCommandLineOption noPacing(QStringLiteral("no-pacing"),
                                      QStringLiteral("Send at once instead of at 9600 baud."));
    const QCommandLineOption logFile(
        QStringLiteral("log"),
        QStringLiteral("One line per frame: ms since start, rx|tx, hex bytes."),
        QStringLiteral("FILE"));
    const QCommandLineOption eepromFile(
        QStringLiteral("eeprom"),
        QStringLiteral("Modes written with \"W\" are kept here across restarts."),
        QStringLiteral("FILE"));
    parser.addOptions({link, systemFile, noPacing, logFile, eepromFile});
    const auto usage = [&parser](const QString& problem) {
        std::fprintf(stderr, "lwlsim: %s\n\n%s", qPrintable(problem),
                     qPrintable(parser.helpText()));
        return 2;
    };
    if (!parser.parse(app.arguments())) {
        return usage(parser.errorText());
    }
    if (parser.isSet(help)) {
        parser.showHelp(0);
    }
    if (parser.isSet(version)) {
        parser.showVersion();
    }
    if (!parser.positionalArguments().isEmpty()) {
        return usage(QStringLiteral("unexpected %1").arg(parser.positionalArguments().join(' ')));
    }
    const std::string linkPath = parser.value(link).toStdString();
    const std::string systemPath = parser.value(systemFile).toStdString();
    const std::string logPath = parser.value(logFile).toStdString();
    const std::string eepromPath = parser.value(eepromFile).toStdString();
    const bool pacing = !parser.isSet(noPacing);
    if (linkPath.empty()) {
        return usage(QStringLiteral("--link PATH is required"));
    }

    std::string error;
    lwlsim::SimSystem system = lwlsim::SimSystem::Default();
    if (!systemPath.empty()) {
        auto loaded = lwlsim::SimSystem::Load(systemPath, error);
        if (!loaded) {
            std::fprintf(stderr, "lwlsim: %s\n", error.c_str());
            return 2;
        }
        system = std::move(*loaded);
    }
    if (!eepromPath.empty() && !system.LoadEeprom(eepromPath, error)) {
        std::fprintf(stderr, "lwlsim: %s\n", error.c_str());
        return 2;
    }

    std::FILE* log = nullptr;
    if (!logPath.empty()) {
        log = std::fopen(logPath.c_str(), "w");
        if (!log) {
            std::fprintf(stderr, "lwlsim: cannot write %s: %s\n", logPath.c_str(),
                         std::strerror(errno));
            return 2;
        }
    }

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    int rc = 0;
    {
        auto link = lwlsim::PtyLink::Create(linkPath, error);
        if (!link) {
            std::fprintf(stderr, "lwlsim: %s\n", error.c_str());
            if (log)
                std::fclose(log);
            return 2;
        }
        lwlsim::Simulator sim(std::move(system), eepromPath);
        std::printf("ready %s\n", linkPath.c_str());
        std::fflush(stdout);
        const auto end = lwlsim::Run(*link, sim, lwlsim::RunOptions{pacing, log}, &g_stop);
        if (end == lwlsim::RunEnd::HungUp) {
            link->Hangup();
            std::printf("hangup\n");
            std::fflush(stdout);
        }
        rc = end == lwlsim::RunEnd::Failed ? 1 : 0;
    }
    if (log) {
        std::fclose(log);
    }
    return rc;
}
