#pragma once

#include <cstdint>
#include <string>

namespace quorval {

// Eight characters '0'/'1', most significant bit first: 0x85 -> "10000101".
std::string ByteToBits(std::uint8_t value);

// Brings an angle in whole degrees once towards 0..359 (writes it back into the
// caller's variable) and returns it in radians.
double DegToRad(std::int16_t& degrees);

}  // namespace quorval
