#include "view/ModuleImages.h"

#include "view/ModulePixels.h"

namespace quorval {

std::array<QImage, 8> BuildModuleImages() {
    const QColor grey = QColor::fromRgb(kFaceRgb);
    const QColor lightBlue = QColor::fromRgb(kHighlightedFaceRgb);
    const QColor green = QColor::fromRgb(kLampOkRgb);
    const QColor red = QColor::fromRgb(kLampErrorRgb);
    std::array<QImage, 8> images;
    for (int i = 0; i < 8; ++i) {
        const bool highlighted = i >= 4;
        const bool ch1Error = (i % 4) == 1 || (i % 4) == 3;
        const bool ch2Error = (i % 4) == 2 || (i % 4) == 3;
        QImage img(kModuleImageWidth, kModuleImageHeight, QImage::Format_ARGB32);
        for (int row = 0; row < kModuleImageHeight; ++row) {
            for (int col = 0; col < kModuleImageWidth; ++col) {
                QColor c;
                switch (ModulePixelAt(row, col)) {
                    case ModulePixel::Transparent:
                        c = QColor(0, 0, 0, 0);
                        break;
                    case ModulePixel::Black:
                        c = Qt::black;
                        break;
                    case ModulePixel::Face:
                        c = highlighted ? lightBlue : grey;
                        break;
                    case ModulePixel::LeftLamp:
                        c = ch1Error ? red : green;
                        break;
                    case ModulePixel::RightLamp:
                        c = ch2Error ? red : green;
                        break;
                }
                img.setPixelColor(col, row, c);
            }
        }
        images[static_cast<std::size_t>(i)] = img;
    }
    return images;
}

}  // namespace quorval
