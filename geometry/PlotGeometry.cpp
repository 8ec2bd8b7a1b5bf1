#include "geometry/PlotGeometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

#include <QDateTime>

namespace quorval {

namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;

// The data area's left and right edges: one formula for the layout and the thinner,
// so that both see the same pixel columns.
std::pair<double, double> Across(const PlotFrame& frame) {
    return {frame.marginLeft, std::max(frame.marginLeft + 1, frame.width - frame.marginRight)};
}

double XAt(double left, double right, qint64 fromMs, double span, qint64 t) {
    return left + (right - left) * static_cast<double>(t - fromMs) / span;
}

// The pixel column of x (or the column of marks `spacing` wide), kept in range for
// any time however far outside the plot.
long long ColumnOf(double x, double spacing = 1) {
    const double column = std::floor(x / (spacing >= 1 ? spacing : 1));
    return std::isfinite(column) ? static_cast<long long>(std::clamp(column, -1e15, 1e15)) : 0;
}

double SpanOf(qint64 fromMs, qint64 toMs) {
    return static_cast<double>(std::max<qint64>(toMs - fromMs, 1));
}

constexpr std::array<qint64, 21> kTimeSteps{
    kSecond,     2 * kSecond, 5 * kSecond,  10 * kSecond, 15 * kSecond, 30 * kSecond, kMinute,
    2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute, kHour,        2 * kHour,
    3 * kHour,   6 * kHour,   12 * kHour,   kDay,         2 * kDay,     7 * kDay,     28 * kDay};

std::vector<PlotTick> TimeTicks(const PlotLayout& l, const PlotFrame& frame, qint64 fromMs,
                                qint64 toMs) {
    const qint64 span = std::max<qint64>(toMs - fromMs, 1);
    const int count = std::max(2, static_cast<int>((l.right - l.left) / 90));
    qint64 step = kTimeSteps.back();
    for (const qint64 s : kTimeSteps) {
        if (span / s <= count) {
            step = s;
            break;
        }
    }
    while (span / step > count) {
        step *= 2;  // longer than the list: whole multiples of four weeks
    }
    const QString format = span >= kDay     ? QStringLiteral("MM-dd HH:mm")
                           : step < kMinute ? QStringLiteral("HH:mm:ss")
                                            : QStringLiteral("HH:mm");
    const qint64 offset = static_cast<qint64>(frame.utcOffsetSeconds) * kSecond;
    // Ticks on whole steps of the labels' own clock.
    const qint64 local = fromMs + offset;
    qint64 t = (local / step + (local % step > 0 ? 1 : 0)) * step - offset;
    std::vector<PlotTick> ticks;
    for (; t <= toMs; t += step) {
        const double x = l.left + (l.right - l.left) * static_cast<double>(t - fromMs) /
                                      static_cast<double>(span);
        const QDateTime at =
            QDateTime::fromMSecsSinceEpoch(t, Qt::OffsetFromUTC, frame.utcOffsetSeconds);
        ticks.push_back({x, at.toString(format)});
    }
    return ticks;
}

// Keeps the first, lowest, highest and last point of each pixel column.
void AddThinned(std::vector<PlotPoint>& line, const std::vector<PlotPoint>& column) {
    if (column.empty()) {
        return;
    }
    const auto [low, high] = std::minmax_element(
        column.begin(), column.end(),
        [](const PlotPoint& a, const PlotPoint& b) { return a.y > b.y; });  // screen y is down
    std::array<std::size_t, 4> keep{0, static_cast<std::size_t>(low - column.begin()),
                                    static_cast<std::size_t>(high - column.begin()),
                                    column.size() - 1};
    std::sort(keep.begin(), keep.end());
    for (std::size_t i = 0; i < keep.size(); ++i) {
        if (i == 0 || keep[i] != keep[i - 1]) {
            line.push_back(column[keep[i]]);
        }
    }
}

// One mark per kind and pixel column, standing for all of them.
void MergeMark(std::map<std::pair<long long, int>, PlotMark>& marks, long long column,
               const PlotMark& m) {
    const auto [it, added] = marks.try_emplace({column, m.kind}, m);
    if (!added) {
        it->second.count += m.count;
    }
}

std::vector<PlotMark> InTimeOrder(const std::map<std::pair<long long, int>, PlotMark>& marks) {
    std::vector<PlotMark> out;
    out.reserve(marks.size());
    for (const auto& entry : marks) {
        out.push_back(entry.second);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const PlotMark& a, const PlotMark& b) { return a.timeMs < b.timeMs; });
    return out;
}

}  // namespace

std::vector<double> NiceTicks(double lo, double hi, int count, double minStep) {
    if (!std::isfinite(lo) || !std::isfinite(hi) || count < 1) {
        return {0, 1};
    }
    if (hi < lo) {
        std::swap(lo, hi);
    }
    if (hi - lo < 1e-9) {
        hi = lo + std::max(1.0, std::isfinite(minStep) ? minStep : 0);
    }
    const double rough = (hi - lo) / count;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10 * magnitude;
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * magnitude >= rough) {
            step = m * magnitude;
            break;
        }
    }
    if (std::isfinite(minStep) && step < minStep) {
        step = minStep;
    }
    std::vector<double> ticks;
    const double first = std::floor(lo / step) * step;
    for (int i = 0;; ++i) {
        const double v = first + i * step;
        ticks.push_back(v);
        if (v >= hi - step * 1e-9) {
            break;
        }
    }
    return ticks;
}

PlotLayout LayOutPlot(const PlotFrame& frame, qint64 fromMs, qint64 toMs,
                      const std::vector<PlotSeries>& series, const std::vector<PlotMark>& marks) {
    PlotLayout l;
    std::tie(l.left, l.right) = Across(frame);
    l.top = frame.marginTop;
    l.bottom = std::max(l.top + 1, frame.height - frame.marginBottom);
    if (toMs < fromMs) {
        std::swap(fromMs, toMs);
    }
    const double span = SpanOf(fromMs, toMs);
    const auto xOf = [&](qint64 t) { return XAt(l.left, l.right, fromMs, span, t); };

    double lo = 0;
    double hi = 0;
    bool any = false;
    for (const PlotSeries& s : series) {
        for (const PlotSample& p : s.samples) {
            if (p.value) {
                lo = any ? std::min(lo, *p.value) : *p.value;
                hi = any ? std::max(hi, *p.value) : *p.value;
                any = true;
            }
        }
    }
    if (frame.valueSpan) {
        lo = any ? std::min(lo, frame.valueSpan->first) : frame.valueSpan->first;
        hi = any ? std::max(hi, frame.valueSpan->second) : frame.valueSpan->second;
    }
    const int valueCount = std::max(2, static_cast<int>((l.bottom - l.top) / 30));
    const std::vector<double> values = NiceTicks(lo, hi, valueCount, frame.minValueStep);
    const double vlo = values.front();
    const double vhi = values.back();
    const auto yOf = [&](double v) {
        return l.bottom - (l.bottom - l.top) * (v - vlo) / (vhi - vlo);
    };
    for (const double v : values) {
        l.valueTicks.push_back({yOf(v), QString::number(v, 'g', 10)});
    }
    l.timeTicks = TimeTicks(l, frame, fromMs, toMs);

    for (const PlotSeries& s : series) {
        std::vector<std::vector<PlotPoint>> lines;
        std::vector<std::pair<double, double>> gaps;
        std::vector<PlotPoint> line;
        std::vector<PlotPoint> column;
        bool inGap = false;
        double gapFrom = 0;           // x where the current gap began
        std::optional<double> lastX;  // x of the last sample with a value
        const auto endLine = [&] {
            AddThinned(line, column);
            column.clear();
            if (!line.empty()) {
                lines.push_back(std::move(line));
                line.clear();
            }
        };
        for (const PlotSample& p : s.samples) {
            const double x = xOf(p.timeMs);
            if (!p.value) {
                if (!inGap) {
                    inGap = true;
                    gapFrom = lastX ? *lastX : x;
                    endLine();
                }
                continue;
            }
            if (inGap) {
                gaps.emplace_back(gapFrom, x);
                inGap = false;
            }
            const PlotPoint point{x, yOf(*p.value)};
            if (!column.empty() && std::floor(column.front().x) != std::floor(x)) {
                AddThinned(line, column);
                column.clear();
            }
            column.push_back(point);
            lastX = x;
        }
        if (inGap) {
            gaps.emplace_back(gapFrom, xOf(s.samples.back().timeMs));
        }
        endLine();
        l.lines.push_back(std::move(lines));
        l.gaps.push_back(std::move(gaps));
    }
    std::map<std::pair<long long, int>, PlotMark> thinned;
    for (const PlotMark& m : marks) {
        MergeMark(thinned, ColumnOf(xOf(m.timeMs), frame.markSpacing), m);
    }
    for (const PlotMark& m : InTimeOrder(thinned)) {
        l.marks.push_back({xOf(m.timeMs), m.text, m.kind, m.count});
    }
    return l;
}

PlotThinner::PlotThinner(const PlotFrame& frame, qint64 fromMs, qint64 toMs)
    : fromMs_(std::min(fromMs, toMs)),
      span_(SpanOf(std::min(fromMs, toMs), std::max(fromMs, toMs))),
      markSpacing_(frame.markSpacing) {
    std::tie(left_, right_) = Across(frame);
}

long long PlotThinner::Column(qint64 timeMs) const {
    return ColumnOf(XAt(left_, right_, fromMs_, span_, timeMs));
}

long long PlotThinner::MarkColumn(qint64 timeMs) const {
    return ColumnOf(XAt(left_, right_, fromMs_, span_, timeMs), markSpacing_);
}

// The open column as LayOutPlot thins it: its kept samples in their order, each once.
void PlotThinner::Flush(std::vector<PlotSample>& out, const std::array<Kept, 4>& run) {
    std::array<Kept, 4> sorted = run;
    std::sort(sorted.begin(), sorted.end(),
              [](const Kept& a, const Kept& b) { return a.seq < b.seq; });
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i == 0 || sorted[i].seq != sorted[i - 1].seq) {
            out.push_back(sorted[i].sample);
        }
    }
}

void PlotThinner::Add(const PlotSample& sample) {
    const long long column = Column(sample.timeMs);
    if (sample.value) {
        if (inRun_ && column != runColumn_) {
            Flush(out_, run_);
            inRun_ = false;
        }
        const Kept k{sample, seq_++};
        if (!inRun_) {
            run_ = {k, k, k, k};
            inRun_ = true;
            runColumn_ = column;
        } else {
            // The first lowest and the last highest, as LayOutPlot picks them.
            if (*sample.value < *run_[1].sample.value) {
                run_[1] = k;
            }
            if (*sample.value >= *run_[2].sample.value) {
                run_[2] = k;
            }
            run_[3] = k;
        }
        inGap_ = false;
        return;
    }
    if (inGap_) {
        return;
    }
    inGap_ = true;
    if (inRun_ && gapColumn_ == column && runColumn_ == column && out_.size() == gapAt_ + 1) {
        inRun_ = false;  // a second gap in one column: what came between goes into it
        return;
    }
    if (inRun_) {
        Flush(out_, run_);
        inRun_ = false;
    }
    gapColumn_ = column;
    gapAt_ = out_.size();
    out_.push_back(sample);
}

void PlotThinner::AddMark(const PlotMark& mark) {
    MergeMark(marks_, MarkColumn(mark.timeMs), mark);
}

std::vector<PlotSample> PlotThinner::Samples() const {
    std::vector<PlotSample> out = out_;
    if (inRun_) {
        Flush(out, run_);
    }
    return out;
}

std::vector<PlotMark> PlotThinner::Marks() const {
    return InTimeOrder(marks_);
}

}  // namespace quorval
