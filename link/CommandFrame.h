#pragma once

#include <array>
#include <cstdint>

namespace quorval {

class MSComm;
struct Global;

constexpr std::uint8_t kCmdScan = 'G';
constexpr std::uint8_t kCmdQuery = 'P';
constexpr std::uint8_t kCmdSet = 'S';
constexpr std::uint8_t kCmdWrite = 'W';

// Every frame to the modules: letter, three parameters, LF CR, a zero byte.
using CommandFrame = std::array<std::uint8_t, 7>;

CommandFrame BuildCommandFrame(std::uint8_t cmd, std::uint8_t tx1, std::uint8_t tx2,
                               std::uint8_t tx3);

// Puts the module ID that "P", "S" and "W" address into TxByte1 (low byte) and
// TxByte2 (high byte).
void SetTxModuleID(Global& g, int id);

// Writes one frame built from cmd and g.TxByte1..3. True when the write was
// queued; a lost frame is otherwise silent.
bool SendCommand(Global& g, MSComm& port, std::uint8_t cmd);

}  // namespace quorval
