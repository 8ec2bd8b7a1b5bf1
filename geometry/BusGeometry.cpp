#include "geometry/BusGeometry.h"

#include <algorithm>
#include <cmath>

#include "common/Bits.h"

namespace quorval {

std::int16_t RoundHalfEven(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    double r = std::nearbyint(value);  // the default rounding mode is to nearest even
    if (r > 32767.0) {
        r = 32767.0;
    } else if (r < -32768.0) {
        r = -32768.0;
    }
    return static_cast<std::int16_t>(r);
}

std::int16_t PositionAngle(int k, int n) {
    if (n <= 0) {
        return 90;
    }
    std::int16_t deg = RoundHalfEven(360.0 / n * k + 90.0);
    DegToRad(deg);
    return deg;
}

RingGeometry Ring(double width, double height, double pictureHeight) {
    RingGeometry g;
    g.centreX = width / 2.0;
    g.centreY = height / 2.0;
    // The pictures at 3 and 9 o'clock stick out by less than a picture height.
    g.arcRadius = static_cast<float>(std::min(width, height) / 2.0 - pictureHeight);
    g.placeRadius = RoundHalfEven(g.arcRadius);
    return g;
}

Point PicturePosition(const RingGeometry& ring, int k, int n, double pictureWidth,
                      double pictureHeight) {
    std::int16_t deg = PositionAngle(k, n);
    const double a = DegToRad(deg);
    return Point{ring.centreX + ring.placeRadius * std::cos(a) - pictureWidth / 2.0,
                 ring.centreY - ring.placeRadius * std::sin(a) - pictureHeight / 2.0};
}

Point LabelCentre(const RingGeometry& ring, int k, int n, double pictureWidth, double pictureHeight,
                  double labelWidth, double labelHeight) {
    std::int16_t deg = PositionAngle(k, n);
    const double a = DegToRad(deg);
    const double out = ring.placeRadius + std::abs(std::cos(a)) * (pictureWidth + labelWidth) / 2 +
                       std::abs(std::sin(a)) * (pictureHeight + labelHeight) / 2 + 3;
    return Point{ring.centreX + out * std::cos(a), ring.centreY - out * std::sin(a)};
}

bool NextLinkRed(const ChannelState& self, const ChannelState& next, int moduleCount) {
    if (moduleCount == 2) {
        return self.ch2 && next.Any();
    }
    return self.Any() && next.Any();
}

bool PreviousLinkRed(const ChannelState& self, const ChannelState& previous, int moduleCount) {
    if (moduleCount == 2) {
        return self.ch1 && previous.Any();
    }
    return self.Any() && previous.Any();
}

int ArcSpan(int fromDeg, int toDeg) {
    const int span = (toDeg - fromDeg) % 360;
    return span <= 0 ? span + 360 : span;
}

int ModuleImageIndex(const ChannelState& state, bool selected) {
    int index = 1;
    if (state.ch1 && state.ch2) {
        index = 4;
    } else if (state.ch1) {
        index = 2;
    } else if (state.ch2) {
        index = 3;
    }
    return selected ? index + 4 : index;
}

}  // namespace quorval
