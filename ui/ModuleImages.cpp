#include "ui/ModuleImages.h"

#include "geometry/ModulePixels.h"

namespace quorval {

namespace {

struct Colours {
    QColor black;
    QColor face;
    QColor left;
    QColor right;
};

QImage Paint(const Colours& c) {
    QImage img(kModuleImageWidth, kModuleImageHeight, QImage::Format_ARGB32);
    for (int row = 0; row < kModuleImageHeight; ++row) {
        for (int col = 0; col < kModuleImageWidth; ++col) {
            QColor pixel(0, 0, 0, 0);
            switch (ModulePixelAt(row, col)) {
                case ModulePixel::Transparent:
                    break;
                case ModulePixel::Black:
                    pixel = c.black;
                    break;
                case ModulePixel::Face:
                    pixel = c.face;
                    break;
                case ModulePixel::LeftLamp:
                    pixel = c.left;
                    break;
                case ModulePixel::RightLamp:
                    pixel = c.right;
                    break;
            }
            img.setPixelColor(col, row, pixel);
        }
    }
    return img;
}

}  // namespace

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
        images[static_cast<std::size_t>(i)] =
            Paint({Qt::black, highlighted ? lightBlue : grey, ch1Error ? red : green,
                   ch2Error ? red : green});
    }
    return images;
}

QImage BuildMissingModuleImage(bool highlighted) {
    const QColor dark = QColor::fromRgb(kMissingLampRgb);
    return Paint({QColor::fromRgb(kMissingOutlineRgb),
                  QColor::fromRgb(highlighted ? kMissingHighlightedFaceRgb : kMissingFaceRgb), dark,
                  dark});
}

}  // namespace quorval
