#include "ui/RingPainter.h"

#include <QGuiApplication>
#include <QPainter>
#include <QtMath>

#include "ui/ModuleImages.h"

namespace quorval {

namespace {

int Scale() {
    return qMax(1, qCeil(qApp->devicePixelRatio()));
}

QPixmap Scaled(const QImage& image, int scale) {
    QPixmap p = QPixmap::fromImage(
        image.scaled(image.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    p.setDevicePixelRatio(scale);
    return p;
}

}  // namespace

QColor LinkBlue() {
    return QColor(0, 0, 255);
}

QColor LinkRed() {
    return QColor(255, 0, 0);
}

QColor LinkGrey() {
    return QColor(128, 128, 128);
}

std::array<QPixmap, 8> ModulePixmaps() {
    const int scale = Scale();
    const std::array<QImage, 8> images = BuildModuleImages();
    std::array<QPixmap, 8> pixmaps;
    for (std::size_t i = 0; i < images.size(); ++i) {
        pixmaps[i] = Scaled(images[i], scale);
    }
    return pixmaps;
}

QPixmap MissingModulePixmap(bool highlighted) {
    return Scaled(BuildMissingModuleImage(highlighted), Scale());
}

void PaintRingArcs(QPainter& painter, const RingGeometry& ring, const std::vector<RingArc>& arcs) {
    if (ring.arcRadius <= 0 || arcs.empty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(ring.centreX - ring.arcRadius, ring.centreY - ring.arcRadius,
                     2.0 * ring.arcRadius, 2.0 * ring.arcRadius);
    for (const RingArc& arc : arcs) {
        painter.setPen(QPen(arc.color, 2, arc.dashed ? Qt::DashLine : Qt::SolidLine));
        painter.drawArc(box, arc.startDeg * 16, ArcSpan(arc.startDeg, arc.endDeg) * 16);
    }
    painter.restore();
}

}  // namespace quorval
