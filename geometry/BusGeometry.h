#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace quorval {

// Rounds to the nearest whole number, a half to the even neighbour; clamped to 16 bits.
std::int16_t RoundHalfEven(double value);

// Angle of ring position k of n in whole degrees, brought into 0..359 once:
// position 0 at the top (90), the others counter-clockwise on screen.
std::int16_t PositionAngle(int k, int n);

struct RingGeometry {
    double centreX = 0;
    double centreY = 0;
    float arcRadius = 0;           // the smaller of width and height / 2 - picture height
    std::int16_t placeRadius = 0;  // arcRadius rounded, for the pictures
};

// The ring fits the smaller of width and height, centred in the view.
RingGeometry Ring(double width, double height, double pictureHeight);

struct Point {
    double left = 0;
    double top = 0;
};

// Top left corner of the picture at position k so that it is centred on the ring.
Point PicturePosition(const RingGeometry& ring, int k, int n, double pictureWidth,
                      double pictureHeight);

// Centre of a label (a module ID) beside the picture at position k: outside
// the ring, clear of the picture in every direction.
Point LabelCentre(const RingGeometry& ring, int k, int n, double pictureWidth, double pictureHeight,
                  double labelWidth, double labelHeight);

// Links between ring positions: red when the modules at both ends report an
// error. With exactly two modules the link to the next one looks at channel 2 of
// the module itself, the link from the previous one at its channel 1.
struct ChannelState {
    bool ch1 = false;
    bool ch2 = false;
    bool Any() const { return ch1 || ch2; }
};
bool NextLinkRed(const ChannelState& self, const ChannelState& next, int moduleCount);
bool PreviousLinkRed(const ChannelState& self, const ChannelState& previous, int moduleCount);

// The two links that ring position k draws, in the order drawn (a later drawing
// of the same arc covers the earlier one): to the next position, then from the
// previous one. Each runs counter-clockwise from fromDeg to toDeg.
struct RingLink {
    std::int16_t fromDeg = 90;
    std::int16_t toDeg = 90;
    bool red = false;
};
template <typename StateAt>  // ChannelState stateAt(int position)
std::array<RingLink, 2> LinksAt(int k, int n, const StateAt& stateAt) {
    const ChannelState self = stateAt(k);
    const int next = k < n - 1 ? k + 1 : 0;
    const int previous = k > 0 ? k - 1 : n - 1;
    return {
        RingLink{PositionAngle(k, n), PositionAngle(next, n), NextLinkRed(self, stateAt(next), n)},
        RingLink{PositionAngle(previous, n), PositionAngle(k, n),
                 PreviousLinkRed(self, stateAt(previous), n)}};
}

// The positions joined to ring position k by a red link, the next one before
// the previous one, each once; a single module has no neighbour, and a link to
// a module for which missing(i) holds is never red. With two modules both half
// circles join the same pair, and whichever of them drew last, one is red
// exactly when both modules report an error.
template <typename StateAt, typename Missing>
std::vector<int> RedLinkNeighbours(int k, int n, const StateAt& stateAt, const Missing& missing) {
    std::vector<int> out;
    if (n < 2 || k < 0 || k >= n || missing(k)) {
        return out;
    }
    const std::array<RingLink, 2> links = LinksAt(k, n, stateAt);
    const int next = k < n - 1 ? k + 1 : 0;
    const int previous = k > 0 ? k - 1 : n - 1;
    if (links[0].red && !missing(next)) {
        out.push_back(next);
    }
    if (links[1].red && !missing(previous) && !(previous == next && links[0].red)) {
        out.push_back(previous);
    }
    return out;
}

// Degrees an arc covers counter-clockwise from its start to its end, 1..360:
// equal ends make the whole ring.
int ArcSpan(int fromDeg, int toDeg);

// Image of a module: 1..4 by its channel errors, 5..8 the same highlighted.
int ModuleImageIndex(const ChannelState& state, bool selected);

}  // namespace quorval
