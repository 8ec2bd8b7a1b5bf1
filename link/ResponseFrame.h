#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quorval {

constexpr std::size_t kResponseFrameSize = 11;
constexpr std::uint8_t kLowestResponseLetter = 0x45;  // 'E'

// One decoded answer of a module.
struct ResponseFrame {
    std::uint8_t Letter = 0;
    int ModuleID = 0;  // 0..65535 as sent; only 0..32000 can be stored
    std::uint8_t Version = 0;
    std::uint8_t Mode = 0;
    std::int16_t ErrorCounterChannel1 = 0;
    bool StatusChannel1 = false;
    std::int16_t ErrorCounterChannel2 = 0;
    bool StatusChannel2 = false;
};

// True when the 11 bytes at p have a valid letter and the LF CR terminator.
bool IsResponseFrame(const std::uint8_t* p);

// Decodes 11 bytes; nothing when they fail the frame check.
std::optional<ResponseFrame> DecodeResponseFrame(const std::uint8_t* p);

}  // namespace quorval
