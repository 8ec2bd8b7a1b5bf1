#pragma once

#include <optional>
#include <utility>
#include <vector>

#include <QString>
#include <QtGlobal>

namespace quorval {

// The layout of a trend plot: counters over time, with gaps where a module was
// missing and marks where something happened. One layout, two renderers: the
// HTML report draws it as SVG, the watch window with QPainter.

struct PlotSample {
    qint64 timeMs = 0;            // UTC, milliseconds since the epoch
    std::optional<double> value;  // nothing: no sample in this round
};

struct PlotSeries {
    QString name;
    std::vector<PlotSample> samples;  // in time order
};

struct PlotMark {
    qint64 timeMs = 0;
    QString text;
};

struct PlotPoint {
    double x = 0;
    double y = 0;
};

struct PlotTick {
    double at = 0;  // x on the time axis, y on the value axis
    QString label;
};

struct PlotFrame {
    double width = 480;
    double height = 160;
    double marginLeft = 52;
    double marginRight = 10;
    double marginTop = 10;
    double marginBottom = 24;
    int utcOffsetSeconds = 0;  // the time labels' zone; 0 is UTC
};

struct PlotLayout {
    // Where the data goes; the axes run along its left and bottom edges.
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
    std::vector<PlotTick> timeTicks;
    std::vector<PlotTick> valueTicks;
    // Per series, its polylines: a missing sample breaks the line.
    std::vector<std::vector<std::vector<PlotPoint>>> lines;
    // Per series, the x ranges it had no sample in.
    std::vector<std::vector<std::pair<double, double>>> gaps;
    struct Mark {
        double x = 0;
        QString text;
    };
    std::vector<Mark> marks;
};

// Lays out the series over [fromMs, toMs]. Points that fall into one pixel
// column are thinned to the first, lowest, highest and last of them, so a long
// watch stays cheap to draw.
PlotLayout LayOutPlot(const PlotFrame& frame, qint64 fromMs, qint64 toMs,
                      const std::vector<PlotSeries>& series, const std::vector<PlotMark>& marks);

// Ticks at 1, 2 or 5 times a power of ten, about `count` of them, from at or
// below lo to at or above hi.
std::vector<double> NiceTicks(double lo, double hi, int count);

}  // namespace quorval
