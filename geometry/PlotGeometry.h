#pragma once

#include <array>
#include <map>
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
    int kind = 0;   // what happened, for the renderer to tell apart
    int count = 1;  // the events this mark stands for
};

struct PlotPoint {
    double x = 0;
    double y = 0;
    bool operator==(const PlotPoint& o) const { return x == o.x && y == o.y; }
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
    double minValueStep = 0;   // 1 for counters: no ticks between whole numbers
    double markSpacing = 1;    // marks of one kind closer than this become one
    // The value axis spans at least this, whatever the data (0 to 1 for a state).
    std::optional<std::pair<double, double>> valueSpan = std::nullopt;
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
        QString text;  // of the first event the mark stands for
        int kind = 0;
        int count = 1;
    };
    std::vector<Mark> marks;  // in time order
};

// Lays out the series over [fromMs, toMs]. Points that fall into one pixel
// column are thinned to the first, lowest, highest and last of them, and marks
// of one kind in one column become one, so a long watch stays cheap to draw.
PlotLayout LayOutPlot(const PlotFrame& frame, qint64 fromMs, qint64 toMs,
                      const std::vector<PlotSeries>& series, const std::vector<PlotMark>& marks);

// Thins one series and its marks as they come, for a history too long to hold
// (a watch log of a hundred megabytes): keeps of each pixel column what
// LayOutPlot draws of it, so its memory is bounded by the plot's width. A
// column with several gaps keeps one, from the first to the last. The frame
// and the time span are those the plot will be laid out with.
class PlotThinner {
  public:
    PlotThinner(const PlotFrame& frame, qint64 fromMs, qint64 toMs);
    void Add(const PlotSample& sample);  // in time order
    void AddMark(const PlotMark& mark);
    // What was kept, in time order.
    std::vector<PlotSample> Samples() const;
    std::vector<PlotMark> Marks() const;

  private:
    struct Kept {
        PlotSample sample;
        long long seq = 0;
    };
    long long Column(qint64 timeMs) const;
    long long MarkColumn(qint64 timeMs) const;
    static void Flush(std::vector<PlotSample>& out, const std::array<Kept, 4>& run);

    double left_;
    double right_;
    qint64 fromMs_;
    double span_;
    double markSpacing_;
    std::vector<PlotSample> out_;  // the columns done
    std::array<Kept, 4> run_{};    // first, lowest, highest and last of the open column
    bool inRun_ = false;
    long long runColumn_ = 0;
    long long seq_ = 0;
    bool inGap_ = false;
    std::optional<long long> gapColumn_;                   // of the last gap begun
    std::size_t gapAt_ = 0;                                // its sample in out_
    std::map<std::pair<long long, int>, PlotMark> marks_;  // by column and kind
};

// Ticks at 1, 2 or 5 times a power of ten (at least minStep apart), about
// `count` of them, from at or below lo to at or above hi.
std::vector<double> NiceTicks(double lo, double hi, int count, double minStep = 0);

}  // namespace quorval
