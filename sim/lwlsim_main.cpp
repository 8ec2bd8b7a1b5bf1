// lwlsim: a simulated LWL-System on a pseudo-terminal.

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/PtyLink.h"
#include "sim/SimSystem.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

const char* const kUsage =
    "usage: lwlsim --link PATH [--system FILE] [--no-pacing] [--log FILE] [--eeprom FILE]\n"
    "\n"
    "Plays a fibre-optic CAN coupler system (LWL-System) on a pseudo-terminal and\n"
    "makes PATH a symlink to it; point the setup tool's COM port at PATH.\n"
    "Prints 'ready PATH' once it answers; runs until SIGINT or SIGTERM, then\n"
    "removes PATH. A system file can make it hang up like a pulled USB adapter:\n"
    "it then removes PATH, closes the terminal, prints 'hangup' and exits with 0.\n"
    "\n"
    "  --link PATH      where the symlink to the terminal goes\n"
    "  --system FILE    modules to play (INI: [module ID] with version, mode, side\n"
    "                   G|L|R, ch1_error, ch2_error, ch1_count, ch2_count, answers,\n"
    "                   and faults noise = HEX BYTES, corrupt = OFFSET,\n"
    "                   corrupt_value = BYTE, split = OFFSET, split_ms = MS;\n"
    "                   [system] turnaround_ms = MS, query_letter = LETTER\n"
    "                   (answer to \"P\", E..Z but not G, L, R; default P),\n"
    "                   hangup_after_rx = N (command frames received),\n"
    "                   hangup_after_tx = N (answer frames sent); 0 = never).\n"
    "                   A ';' after a blank starts a comment. Default: six modules.\n"
    "  --no-pacing      send at once instead of at 9600 baud\n"
    "  --log FILE       one line per frame: ms since start, rx|tx, hex bytes\n"
    "  --eeprom FILE    modes written with \"W\" are kept here across restarts\n";

}  // namespace

int main(int argc, char** argv) {
    std::string linkPath, systemPath, logPath, eepromPath;
    bool pacing = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "lwlsim: %s needs a value\n%s", arg.c_str(), kUsage);
                return false;
            }
            out = argv[++i];
            return true;
        };
        if (arg == "--link") {
            if (!value(linkPath))
                return 2;
        } else if (arg == "--system") {
            if (!value(systemPath))
                return 2;
        } else if (arg == "--log") {
            if (!value(logPath))
                return 2;
        } else if (arg == "--eeprom") {
            if (!value(eepromPath))
                return 2;
        } else if (arg == "--no-pacing") {
            pacing = false;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "lwlsim: unknown argument '%s'\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    if (linkPath.empty()) {
        std::fprintf(stderr, "lwlsim: --link PATH is required\n%s", kUsage);
        return 2;
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
