#pragma once

// Frame layouts as the modules see them. Written apart from the program's own
// codec on purpose, so that a mistake in one shows up against the other.

#include <array>
#include <cstdint>
#include <deque>
#include <optional>

namespace lwlsim {

// A command from the PC: letter, ID low, ID high, mode, 0x0A, 0x0D, 0x00.
struct Command {
    std::uint8_t letter = 0;
    std::uint16_t id = 0;
    std::uint8_t mode = 0;
    std::array<std::uint8_t, 7> raw{};
};

// Finds command frames in a byte stream; skips bytes until a frame lines up.
class CommandScanner {
  public:
    void Push(std::uint8_t byte) { pending_.push_back(byte); }
    std::optional<Command> Next();

  private:
    std::deque<std::uint8_t> pending_;
};

// What a module reports about itself.
struct Report {
    std::uint8_t letter = 'G';
    std::uint16_t id = 0;
    std::uint8_t version = 0;
    std::uint8_t mode = 0;
    bool ch1Error = false;
    std::uint16_t ch1Count = 0;  // 15 bits on the wire
    bool ch2Error = false;
    std::uint16_t ch2Count = 0;
};

// The 11-byte answer: letter, ID lo/hi, version, mode, channel 2 counter lo,
// channel 2 status<<7 | counter hi, channel 1 likewise, 0x0A, 0x0D.
std::array<std::uint8_t, 11> EncodeReport(const Report& r);

}  // namespace lwlsim
