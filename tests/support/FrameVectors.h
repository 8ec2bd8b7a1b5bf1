#pragma once

// Frames written out by hand from the frame tables. Both the program's codec
// and the simulator's are checked against these same bytes.

#include <array>
#include <cstdint>

namespace vectors {

using Cmd = std::array<std::uint8_t, 7>;
using Answer = std::array<std::uint8_t, 11>;

// Commands.
constexpr Cmd kScan = {0x47, 0x00, 0x00, 0x00, 0x0A, 0x0D, 0x00};
constexpr Cmd kQuery1234 = {0x50, 0x34, 0x12, 0x00, 0x0A, 0x0D, 0x00};
constexpr Cmd kWrite1234 = {0x57, 0x34, 0x12, 0x99, 0x0A, 0x0D, 0x00};

// "L" from module 5, version 12, mode 0x85, channel 2 clear with 0 errors,
// channel 1 in error with 3 errors.
constexpr Answer kLeft5 = {0x4C, 0x05, 0x00, 0x0C, 0x85, 0x00, 0x00, 0x03, 0x80, 0x0A, 0x0D};
// "G" from module 32000 (0x7D00), version 34, mode 0xC6, channel 2 in error with
// 32767 errors, channel 1 clear with 258 errors.
constexpr Answer kAttached32000 = {0x47, 0x00, 0x7D, 0x22, 0xC6, 0xFF,
                                   0xFF, 0x02, 0x01, 0x0A, 0x0D};

}  // namespace vectors
