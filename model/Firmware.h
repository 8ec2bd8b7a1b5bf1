#pragma once

namespace quorval {

// Lowest firmware version 40..49 belongs to another make of module.
constexpr bool IsForeignFirmware(int minVersion) {
    return minVersion / 10 == 4;
}

}  // namespace quorval
