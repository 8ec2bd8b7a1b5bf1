#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/SimFrames.h"
#include "sim/SimSystem.h"

namespace lwlsim {

// Bytes to send after a pause; logHex, when set, is logged once they have left.
struct Chunk {
    std::vector<std::uint8_t> bytes;
    int pauseBeforeMs = 0;
    std::string logHex;
};

// The module system's behaviour: command frames in, answer chunks out.
class Simulator {
  public:
    explicit Simulator(SimSystem system, std::string eepromPath = {});

    // Seconds since the start, for the system's changes over time; a steady
    // clock from construction unless set (tests pin it).
    void SetClock(std::function<double()> clock) { clock_ = std::move(clock); }

    struct Output {
        std::vector<Command> received;
        std::vector<Chunk> chunks;
        bool hangup = false;  // the system's hangup_after_rx is reached: the line is gone
        bool stall = false;   // its stall_after_rx is reached: stop reading for stall_ms
    };
    // Input after the hangup is ignored.
    Output Feed(const std::uint8_t* data, std::size_t size);

    const SimSystem& System() const { return system_; }

  private:
    void Handle(const Command& c, std::vector<Chunk>& out);
    void Answer(const SimModule& m, std::uint8_t letter, double t, std::vector<Chunk>& out) const;

    SimSystem system_;
    std::string eepromPath_;
    CommandScanner scanner_;
    int received_ = 0;
    std::function<double()> clock_;
};

std::string Hex(const std::uint8_t* data, std::size_t size);

}  // namespace lwlsim
