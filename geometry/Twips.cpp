#include "geometry/Twips.h"

#include "geometry/BusGeometry.h"

namespace quorval {

std::optional<std::int16_t> Twips(double pixels) {
    const double twips = pixels * kTwipsPerPixel;
    if (!(twips >= INT16_MIN && twips <= INT16_MAX)) {  // NaN too
        return std::nullopt;
    }
    return RoundHalfEven(twips);
}

}  // namespace quorval
