#include "report/TrendSvg.h"

#include <algorithm>

#include "record/WatchText.h"
#include "report/Html.h"
#include "report/WatchDigest.h"

namespace quorval {

namespace {

constexpr double kTickLength = 4;
constexpr double kStem = 6;
constexpr double kBand = 4;
constexpr double kMinGapWidth = 2;
constexpr double kMarkHead = 7;

using Gaps = std::vector<std::pair<double, double>>;

QString Number(double v) {
    return QString::number(v, 'f', 1);
}

QString Path(const std::vector<PlotPoint>& line) {
    QString d;
    for (std::size_t i = 0; i < line.size(); ++i) {
        d += QStringLiteral("%1%2 %3")
                 .arg(QLatin1Char(i == 0 ? 'M' : 'L'))
                 .arg(Number(line[i].x), Number(line[i].y));
    }
    return d;
}

// A red bar along the bottom of the plot while the channel was in error, from
// the state laid out in the plot's own columns.
void WriteErrorBand(Html& h, const PlotFrame& frame, std::int64_t fromMs, std::int64_t toMs,
                    const PlotSeries& inError, double bottom) {
    PlotFrame states = frame;
    states.valueSpan = {{0, 1}};
    const PlotLayout l = LayOutPlot(states, fromMs, toMs, {inError}, {});
    const double middle = (l.top + l.bottom) / 2;  // above: 1, in error
    const auto band = [&](double from, double to) {
        const double width = std::max(to - from, kMinGapWidth);
        h.Empty("rect", {{"class", "in-error"},
                         {"x", Number(from)},
                         {"y", Number(bottom - kBand)},
                         {"width", Number(width)},
                         {"height", Number(kBand)}});
    };
    for (const std::vector<PlotPoint>& line : l.lines.front()) {
        bool inError = false;
        double from = 0;  // where the stretch in error began
        for (const PlotPoint& p : line) {
            if (p.y < middle && !inError) {
                inError = true;
                from = p.x;
            } else if (p.y >= middle && inError) {
                band(from, p.x);
                inError = false;
            }
        }
        if (inError) {
            band(from, line.back().x);
        }
    }
}

}  // namespace

PlotFrame TrendFrame() {
    PlotFrame f;
    f.width = 640;
    f.height = 132;
    f.marginLeft = 46;
    f.marginRight = 30;
    f.marginTop = 8;
    f.marginBottom = 22;
    f.minValueStep = 1;  // counters count whole errors
    f.markSpacing = 3;   // about a millimetre on paper
    return f;
}

void WriteTrendSvg(Html& h, const PlotFrame& frame, std::int64_t fromMs, std::int64_t toMs,
                   const TrendPlot& plot) {
    const PlotLayout l = LayOutPlot(frame, fromMs, toMs, plot.series, plot.marks);
    h.Open("svg", {{"class", "trend"},
                   {"viewBox", QStringLiteral("0 0 %1 %2").arg(frame.width).arg(frame.height)},
                   {"width", QString::number(frame.width)},
                   {"height", QString::number(frame.height)},
                   {"role", "img"}});
    h.Element("title",
              QStringLiteral("Error %1 of module %2 from %3 to %4")
                  .arg(plot.channel == 0 ? QStringLiteral("counters of CH1 and CH2")
                                         : QStringLiteral("counter of CH%1").arg(plot.channel))
                  .arg(plot.id)
                  .arg(WatchTimeText(fromMs), WatchTimeText(toMs)));
    const QString top = Number(l.top);
    const QString height = Number(l.bottom - l.top);
    h.Empty("rect", {{"class", "area"},
                     {"x", Number(l.left)},
                     {"y", top},
                     {"width", Number(l.right - l.left)},
                     {"height", height}});
    // The series go missing together: the module did not answer.
    for (const auto& [from, to] : l.gaps.empty() ? Gaps{} : l.gaps.front()) {
        const double width = std::max(to - from, kMinGapWidth);
        h.Empty("rect", {{"class", "gap"},
                         {"x", Number(std::max(l.left, (from + to - width) / 2))},
                         {"y", top},
                         {"width", Number(width)},
                         {"height", height}});
    }
    for (const PlotTick& t : l.valueTicks) {
        h.Empty("path",
                {{"class", "grid"},
                 {"d", QStringLiteral("M%1 %2H%3")
                           .arg(Number(l.left - kTickLength), Number(t.at), Number(l.right))}});
        h.Element(
            "text", t.label,
            {{"class", "value"}, {"x", Number(l.left - kTickLength - 2)}, {"y", Number(t.at)}});
    }
    for (const PlotTick& t : l.timeTicks) {
        h.Empty("path", {{"class", "axis"},
                         {"d", QStringLiteral("M%1 %2v%3")
                                   .arg(Number(t.at), Number(l.bottom), Number(kTickLength))}});
        h.Element(
            "text", t.label,
            {{"class", "time"}, {"x", Number(t.at)}, {"y", Number(l.bottom + kTickLength + 1)}});
    }
    if (!plot.inError.samples.empty()) {
        WriteErrorBand(h, frame, fromMs, toMs, plot.inError, l.bottom);
    }
    for (const PlotLayout::Mark& m : l.marks) {
        const auto kind = static_cast<WatchEventKind>(m.kind);
        // A head on top, seen even on the plot's edge, on a stem; a reset's
        // runs across the plot, a rise is a short tick (the line shows it).
        const double stem = kind == WatchEventKind::Fell ? l.bottom - l.top : kStem;
        QString d = QStringLiteral("M%1 %2v%3").arg(Number(m.x), top, Number(stem));
        if (kind != WatchEventKind::Rose) {
            d += QStringLiteral("M%1 %2h%3l%4 %5z")
                     .arg(Number(m.x - kMarkHead / 2), top, Number(kMarkHead),
                          Number(-kMarkHead / 2), Number(kMarkHead * 0.8));
        }
        h.Open("path", {{"class", QStringLiteral("mark ") + WatchEventName(kind)}, {"d", d}});
        h.Element("title", m.count > 1
                               ? QStringLiteral("%1 (and %2 more)").arg(m.text).arg(m.count - 1)
                               : m.text);
        h.Close();
    }
    for (std::size_t i = 0; i < l.lines.size(); ++i) {
        // Two series (a module's both channels) are told apart by their names.
        const QString name = l.lines.size() > 1 ? plot.series[i].name.toLower() : QString();
        for (const std::vector<PlotPoint>& line : l.lines[i]) {
            if (line.size() == 1) {
                h.Empty("circle", {{"class", QStringLiteral("point %1").arg(name).trimmed()},
                                   {"cx", Number(line.front().x)},
                                   {"cy", Number(line.front().y)},
                                   {"r", "2"}});
            } else {
                h.Empty("path", {{"class", QStringLiteral("series %1").arg(name).trimmed()},
                                 {"d", Path(line)}});
            }
        }
    }
    h.Close();
}

}  // namespace quorval
