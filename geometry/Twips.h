#pragma once

#include <cstdint>
#include <optional>

namespace quorval {

// The windows were laid out in twips (1/1440 inch), 15 to a pixel at 96 dots
// per inch.
constexpr int kTwipsPerPixel = 15;

// The whole pixels of a length in twips, as the windows were designed.
constexpr int Pixels(int twips) {
    return twips / kTwipsPerPixel;
}

// The twips of a length in pixels, a half rounded to even; nothing when it
// does not fit in 16 bits, where the saved sizes are kept.
std::optional<std::int16_t> Twips(double pixels);

}  // namespace quorval
