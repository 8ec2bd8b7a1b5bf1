#pragma once

#include <cstdint>

#include "geometry/PlotGeometry.h"

namespace quorval {

class Html;
struct TrendPlot;

// The frame of every trend plot in a report, in SVG user units.
PlotFrame TrendFrame();

// One trend plot as inline SVG, drawn from LayOutPlot over [fromMs, toMs]: the
// counter as a line, grey where the module was missing, a mark per event
// (class "mark" and the event's name), the axes with their ticks.
void WriteTrendSvg(Html& html, const PlotFrame& frame, std::int64_t fromMs, std::int64_t toMs,
                   const TrendPlot& plot);

}  // namespace quorval
