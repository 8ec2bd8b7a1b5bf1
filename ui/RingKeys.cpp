#include "ui/RingKeys.h"

#include <QPainter>
#include <QPalette>
#include <QRect>

namespace quorval {

std::optional<int> RingFocusTarget(int key, int k, int n) {
    if (n <= 0) {
        return std::nullopt;
    }
    switch (key) {
        case Qt::Key_Right:
        case Qt::Key_Down:
            return k >= 0 && k < n - 1 ? k + 1 : 0;
        case Qt::Key_Left:
        case Qt::Key_Up:
            return k > 0 && k < n ? k - 1 : n - 1;
        case Qt::Key_Home:
            return 0;
        default:
            return std::nullopt;
    }
}

bool IsRingActivateKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

void PaintFocusFrame(QPainter& painter, const QRect& picture, const QPalette& palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette.color(QPalette::Highlight), 2));
    // The pen straddles the path: 2 px out keeps its inner edge off the picture.
    painter.drawRect(QRectF(picture).adjusted(-2, -2, 2, 2));
    painter.restore();
}

}  // namespace quorval
