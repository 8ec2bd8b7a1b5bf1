#pragma once

#include <array>
#include <vector>

#include <QColor>
#include <QPixmap>

#include "geometry/BusGeometry.h"

class QPainter;

namespace quorval {

// What the bus view and the watch window share to draw the ring: the module
// pictures at the screen's scale, the links between neighbours, and how the
// links are painted.

// One link, drawn counter-clockwise on the ring's circle from startDeg to endDeg.
struct RingArc {
    int startDeg = 90;
    int endDeg = 90;
    QColor color;
    bool dashed = false;  // a link to a module that went missing
};

QColor LinkBlue();
QColor LinkRed();
QColor LinkGrey();

// The image list (index 1..8 at positions 0..7), scaled up by whole pixels for
// the screen's density so that the pixel art stays sharp.
std::array<QPixmap, 8> ModulePixmaps();
// A module that went missing, greyed, at the same scale.
QPixmap MissingModulePixmap(bool highlighted);

// Appends the two links that ring position k draws, in order: to the next
// position, then from the previous one. A link with a module for which
// missing(i) holds at either end is grey and dashed, else blue or red.
template <typename StateAt, typename Missing>
void AddRingLinks(std::vector<RingArc>& arcs, int k, int n, const StateAt& stateAt,
                  const Missing& missing) {
    const std::array<RingLink, 2> links = LinksAt(k, n, stateAt);
    const std::array<int, 2> other{k < n - 1 ? k + 1 : 0, k > 0 ? k - 1 : n - 1};
    for (std::size_t i = 0; i < links.size(); ++i) {
        const bool gone = missing(k) || missing(other[i]);
        arcs.push_back(RingArc{links[i].fromDeg, links[i].toDeg,
                               gone           ? LinkGrey()
                               : links[i].red ? LinkRed()
                                              : LinkBlue(),
                               gone});
    }
}

// Paints the arcs on the ring's circle, each over the ones before it.
void PaintRingArcs(QPainter& painter, const RingGeometry& ring, const std::vector<RingArc>& arcs);

}  // namespace quorval
