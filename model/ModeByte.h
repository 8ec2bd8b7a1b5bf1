#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quorval {

// The module configuration byte, in commands, answers and dialogs alike.
constexpr std::uint8_t kModePointToPoint = 0x80;
constexpr std::uint8_t kMode29Bit = 0x40;
constexpr std::uint8_t kModeRelayMask = 0x30;
constexpr std::uint8_t kModeBaudMask = 0x0F;

// Captions of the error relay logic, indexed by (mode & 0x30) >> 4.
constexpr std::array<const char*, 4> kRelayCaptions = {
    "CH1_Error AND CH2_Error",
    "NOT CH1_Error AND NOT CH2_Error",
    "CH1_Error OR CH2_Error",
    "NOT CH1_Error OR NOT CH2_Error",
};

// Captions of the CAN baud rate codes 1..8; other codes have none.
constexpr std::array<const char*, 8> kBaudCaptions = {
    "10 KBit/s",  "20 KBit/s",  "50 KBit/s",  "100 KBit/s",
    "125 KBit/s", "250 KBit/s", "500 KBit/s", "1 MBit/s",
};

inline std::string RelayCaption(std::uint8_t mode) {
    return kRelayCaptions[static_cast<std::size_t>((mode & kModeRelayMask) >> 4)];
}

// Empty for codes without a caption (0 and 9..15).
inline std::string BaudCaption(std::uint8_t mode) {
    const int code = mode & kModeBaudMask;
    if (code < 1 || code > 8) {
        return {};
    }
    return kBaudCaptions[static_cast<std::size_t>(code - 1)];
}

}  // namespace quorval
