#include "watch/TrendView.h"

#include <cmath>

#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace quorval {

namespace {

constexpr int kMarkReach = 4;  // pixels either side of a mark that show its text

const QColor kLineColours[] = {QColor(0, 90, 200), QColor(220, 100, 0)};  // CH1, CH2
const QColor kGapColour(235, 215, 215);
const QColor kMarkColour(160, 0, 160);

PlotFrame FrameOf(const QWidget& w) {
    PlotFrame f;
    f.width = w.width();
    f.height = w.height();
    f.marginTop = 24;  // the title and the legend
    f.marginBottom = 30;
    return f;
}

}  // namespace

TrendView::TrendView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setMinimumSize(240, 140);
}

void TrendView::SetTrend(const QString& title, WatchModel::Trend trend) {
    title_ = title;
    trend_ = std::move(trend);
    update();
}

PlotLayout TrendView::Layout() const {
    return LayOutPlot(FrameOf(*this), trend_.fromMs, trend_.toMs, trend_.series, trend_.marks);
}

void TrendView::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter p(this);
    if (title_.isEmpty()) {
        p.setPen(Qt::darkGray);
        p.drawText(rect(), Qt::AlignCenter,
                   tr("Select a module in the ring or the table to see its error counters"));
        return;
    }
    const PlotLayout l = Layout();
    const QFontMetrics fm(font());
    p.setPen(Qt::black);
    p.drawText(QPointF(l.left, fm.ascent() + 4), title_);

    // Where the module was missing or the link was down.
    for (const auto& gap : l.gaps.empty() ? std::vector<std::pair<double, double>>() : l.gaps[0]) {
        p.fillRect(QRectF(QPointF(gap.first, l.top), QPointF(gap.second, l.bottom)), kGapColour);
    }
    // Grid and value axis.
    p.setPen(QColor(225, 225, 225));
    for (const PlotTick& t : l.valueTicks) {
        p.drawLine(QPointF(l.left, t.at), QPointF(l.right, t.at));
    }
    p.setPen(Qt::black);
    for (const PlotTick& t : l.valueTicks) {
        p.drawText(QRectF(0, t.at - fm.height() / 2.0, l.left - 6, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, t.label);
    }
    for (const PlotTick& t : l.timeTicks) {
        p.drawLine(QPointF(t.at, l.bottom), QPointF(t.at, l.bottom + 4));
        p.drawText(QRectF(t.at - 60, l.bottom + 5, 120, fm.height()), Qt::AlignCenter, t.label);
    }
    p.drawText(QRectF(0, l.bottom + 5, l.left - 6, fm.height()), Qt::AlignRight,
               QStringLiteral("UTC"));
    p.drawLine(QPointF(l.left, l.top), QPointF(l.left, l.bottom));
    p.drawLine(QPointF(l.left, l.bottom), QPointF(l.right, l.bottom));

    // Events: a dotted line and a triangle on the time axis.
    p.setRenderHint(QPainter::Antialiasing);
    for (const PlotLayout::Mark& m : l.marks) {
        p.setPen(QPen(kMarkColour, 1, Qt::DotLine));
        p.drawLine(QPointF(m.x, l.top), QPointF(m.x, l.bottom));
        QPainterPath tri;
        tri.moveTo(m.x, l.bottom - 7);
        tri.lineTo(m.x - 4, l.bottom);
        tri.lineTo(m.x + 4, l.bottom);
        tri.closeSubpath();
        p.fillPath(tri, kMarkColour);
    }
    for (std::size_t s = 0; s < l.lines.size() && s < 2; ++s) {
        p.setPen(QPen(kLineColours[s], 2));
        for (const std::vector<PlotPoint>& line : l.lines[s]) {
            if (line.size() == 1) {
                p.drawEllipse(QPointF(line[0].x, line[0].y), 2, 2);
                continue;
            }
            QPolygonF poly;
            poly.reserve(static_cast<int>(line.size()));
            for (const PlotPoint& pt : line) {
                poly << QPointF(pt.x, pt.y);
            }
            p.drawPolyline(poly);
        }
    }
    // Legend at the top right.
    double x = l.right;
    for (int s = 1; s >= 0; --s) {
        const QString name = trend_.series.size() > std::size_t(s) ? trend_.series[s].name : "";
        x -= fm.horizontalAdvance(name) + 30;
        p.setPen(QPen(kLineColours[s], 2));
        p.drawLine(QPointF(x, 12), QPointF(x + 18, 12));
        p.setPen(Qt::black);
        p.drawText(QPointF(x + 22, 12 + fm.ascent() / 2.0 - 1), name);
    }
}

bool TrendView::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QWidget::event(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    QStringList texts;
    for (const PlotLayout::Mark& m : Layout().marks) {
        if (std::abs(m.x - help->pos().x()) <= kMarkReach) {
            texts << m.text;
        }
    }
    if (texts.size() > 12) {
        const qsizetype more = texts.size() - 12;
        texts = texts.mid(0, 12);
        texts << tr("... and %1 more").arg(more);
    }
    if (texts.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), texts.join(QLatin1Char('\n')), this);
    }
    return true;
}

}  // namespace quorval
