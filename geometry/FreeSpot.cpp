#include "geometry/FreeSpot.h"

#include <algorithm>

namespace quorval {

std::optional<QPoint> FreeSpot(const QRect& area, const QSize& size,
                               const std::vector<QRect>& taken,
                               const std::vector<QPoint>& candidates) {
    for (const QPoint& at : candidates) {
        const QRect place(at, size);
        if (area.contains(place) && std::none_of(taken.begin(), taken.end(), [&](const QRect& r) {
                return r.intersects(place);
            })) {
            return at;
        }
    }
    return std::nullopt;
}

}  // namespace quorval
