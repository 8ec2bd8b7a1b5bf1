#pragma once

#include <array>
#include <cstdint>

namespace quorval {

class MSComm;

constexpr std::uint8_t kCmdScan = 'G';
constexpr std::uint8_t kCmdQuery = 'P';
constexpr std::uint8_t kCmdSet = 'S';
constexpr std::uint8_t kCmdWrite = 'W';

// Every frame to the modules: letter, three parameters, LF CR, a zero byte.
using CommandFrame = std::array<std::uint8_t, 7>;

CommandFrame BuildCommandFrame(std::uint8_t cmd, std::uint8_t tx1, std::uint8_t tx2,
                               std::uint8_t tx3);

// A frame to one module: its ID as low and high byte, and for "S" and "W" its new mode.
CommandFrame ModuleFrame(std::uint8_t cmd, int id, std::uint8_t mode = 0);

// Writes one frame; true when the write was queued. A lost frame is otherwise silent.
bool WriteFrame(MSComm& port, const CommandFrame& frame);

}  // namespace quorval
