#pragma once

#include <optional>
#include <vector>

#include <QPoint>
#include <QRect>

namespace quorval {

// The first candidate place where a window of this size lies inside the area and
// covers none of the taken rectangles; nothing when no candidate is free.
std::optional<QPoint> FreeSpot(const QRect& area, const QSize& size,
                               const std::vector<QRect>& taken,
                               const std::vector<QPoint>& candidates);

}  // namespace quorval
