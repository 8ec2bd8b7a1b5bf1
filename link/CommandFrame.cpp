#include "link/CommandFrame.h"

#include <QByteArray>

#include "link/MSComm.h"
#include "model/Global.h"

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

void SetTxModuleID(Global& g, int id) {
    g.TxByte1 = static_cast<std::uint8_t>(id % 256);
    g.TxByte2 = static_cast<std::uint8_t>(id / 256);
}

bool SendCommand(Global& g, MSComm& port, std::uint8_t cmd) {
    const CommandFrame frame = BuildCommandFrame(cmd, g.TxByte1, g.TxByte2, g.TxByte3);
    const QByteArray bytes(reinterpret_cast<const char*>(frame.data()),
                           static_cast<qsizetype>(frame.size()));
    return port.Output(bytes);
}

}  // namespace quorval
