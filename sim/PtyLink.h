#pragma once

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "sim/SimProtocol.h"

namespace lwlsim {

// A pseudo-terminal whose slave side is reachable under a symlink. The
// simulator keeps its own handle on the slave open, so a program that closes
// and reopens the port never ends the link.
class PtyLink {
  public:
    static std::unique_ptr<PtyLink> Create(const std::string& linkPath, std::string& error);
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    // Like a USB adapter pulled from the PC: the link goes and both sides of
    // the terminal close, so a program holding the device sees it vanish.
    void Hangup();

    int MasterFd() const { return master_; }
    const std::string& SlaveName() const { return slaveName_; }
    const std::string& LinkPath() const { return linkPath_; }

  private:
    PtyLink() = default;
    int master_ = -1;
    int slaveHold_ = -1;
    std::string slaveName_;
    std::string linkPath_;
};

struct RunOptions {
    bool pacing = true;
    std::FILE* log = nullptr;
};

enum class RunEnd { Stopped, HungUp, Failed };

// Serves the link until *stop becomes non-zero, or until the system's
// hangup_after_rx or hangup_after_tx is reached (then the caller hangs up).
RunEnd Run(PtyLink& link, Simulator& sim, const RunOptions& options,
           volatile std::sig_atomic_t* stop);

// Time one byte takes on a 9600-baud 8N1 line: 10 bits.
constexpr double kByteMicros = 10.0 * 1'000'000.0 / 9600.0;

}  // namespace lwlsim
