#include "watch/WatchRing.h"

#include <QMouseEvent>
#include <QPainter>

#include "geometry/ModulePixels.h"
#include "ui/RingPainter.h"

namespace quorval {

WatchRing::WatchRing(QWidget* parent)
    : QWidget(parent),
      images_(ModulePixmaps()),
      missing_{MissingModulePixmap(false), MissingModulePixmap(true)} {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));  // as the bus view
    setPalette(pal);
    setMinimumSize(160, 160);
}

void WatchRing::SetModules(std::vector<Module> modules) {
    modules_ = std::move(modules);
    update();
}

void WatchRing::SetSelected(int id) {
    if (id != selected_) {
        selected_ = id;
        update();
    }
}

RingGeometry WatchRing::Geometry() const {
    // As the bus view's ring, drawn in a little to leave room for the IDs beside it.
    const int idWidth = QFontMetrics(font()).horizontalAdvance(QStringLiteral("32000"));
    return Ring(width(), height(), kModuleImageHeight + idWidth);
}

QRect WatchRing::PictureRect(int k) const {
    const Point at = PicturePosition(Geometry(), k, static_cast<int>(modules_.size()),
                                     kModuleImageWidth, kModuleImageHeight);
    return QRect(RoundHalfEven(at.left), RoundHalfEven(at.top), kModuleImageWidth,
                 kModuleImageHeight);
}

const QPixmap& WatchRing::PictureOf(const Module& m) const {
    const bool selected = m.id == selected_;
    if (!m.present) {
        return missing_[selected ? 1 : 0];
    }
    return images_[static_cast<std::size_t>(ModuleImageIndex(m.lamps, selected) - 1)];
}

void WatchRing::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    const int n = static_cast<int>(modules_.size());
    QPainter painter(this);
    if (n == 0) {
        painter.drawText(rect(), Qt::AlignCenter, tr("No modules yet"));
        return;
    }
    const RingGeometry ring = Geometry();
    std::vector<RingArc> arcs;
    const auto lamps = [this](int i) { return modules_[static_cast<std::size_t>(i)].lamps; };
    const auto gone = [this](int i) { return !modules_[static_cast<std::size_t>(i)].present; };
    for (int k = 0; k < n; ++k) {
        AddRingLinks(arcs, k, n, lamps, gone);
    }
    PaintRingArcs(painter, ring, arcs);

    const QFontMetrics metrics(font());
    for (int k = 0; k < n; ++k) {
        const Module& m = modules_[static_cast<std::size_t>(k)];
        const QRect at = PictureRect(k);
        painter.drawPixmap(at.topLeft(), PictureOf(m));
        const QString id = QString::number(m.id);
        const Point label = LabelCentre(ring, k, n, kModuleImageWidth, kModuleImageHeight,
                                        metrics.horizontalAdvance(id), metrics.height());
        painter.setPen(m.present ? Qt::black : QColor(96, 96, 96));
        painter.drawText(
            QRectF(label.left - 40, label.top - metrics.height() / 2.0, 80, metrics.height()),
            Qt::AlignCenter, id);
    }
    // "PC" below the attached module, left edges aligned, as in the bus view.
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSize(12);
    painter.setFont(bold);
    painter.setPen(Qt::black);
    const QRect first = PictureRect(0);
    painter.drawText(QPoint(first.left(), first.bottom() + 1 + QFontMetrics(bold).ascent()),
                     QStringLiteral("PC"));
}

void WatchRing::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    for (int k = 0; k < static_cast<int>(modules_.size()); ++k) {
        if (PictureRect(k).contains(event->position().toPoint())) {
            emit ModuleClicked(modules_[static_cast<std::size_t>(k)].id);
            return;
        }
    }
}

}  // namespace quorval
