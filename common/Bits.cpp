#include "common/Bits.h"

namespace quorval {

std::string ByteToBits(std::uint8_t value) {
    std::string bits(8, '0');
    for (int bit = 0; bit < 8; ++bit) {
        if (value & (0x80u >> bit)) {
            bits[static_cast<std::size_t>(bit)] = '1';
        }
    }
    return bits;
}

double DegToRad(std::int16_t& degrees) {
    // Only one correction each way: callers pass angles from -359 to 719.
    if (degrees >= 360) {
        degrees = static_cast<std::int16_t>(degrees - 360);
    } else if (degrees < 0) {
        degrees = static_cast<std::int16_t>(degrees + 360);
    }
    return degrees * 3.14159265358979 / 180.0;
}

}  // namespace quorval
