#include "link/CommandFrame.h"

#include <QByteArray>

#include "link/MSComm.h"

namespace quorval {

CommandFrame BuildCommandFrame(std::uint8_t cmd, std::uint8_t tx1, std::uint8_t tx2,
                               std::uint8_t tx3) {
    const bool addressed = cmd == kCmdQuery || cmd == kCmdSet || cmd == kCmdWrite;
    const bool carriesMode = cmd == kCmdSet || cmd == kCmdWrite;
    return CommandFrame{cmd,
                        addressed ? tx1 : std::uint8_t{0},
                        addressed ? tx2 : std::uint8_t{0},
                        carriesMode ? tx3 : std::uint8_t{0},
                        0x0A,
                        0x0D,
                        0x00};
}

CommandFrame ModuleFrame(std::uint8_t cmd, int id, std::uint8_t mode) {
    return BuildCommandFrame(cmd, static_cast<std::uint8_t>(id % 256),
                             static_cast<std::uint8_t>(id / 256), mode);
}

bool WriteFrame(MSComm& port, const CommandFrame& frame) {
    const QByteArray bytes(reinterpret_cast<const char*>(frame.data()),
                           static_cast<qsizetype>(frame.size()));
    return port.Output(bytes);
}

}  // namespace quorval
