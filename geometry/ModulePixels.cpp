#include "geometry/ModulePixels.h"

namespace quorval {

namespace {

// One 6 x 6 lamp: its lit pixels per row, centred, with a black rim.
// Row widths 2, 4, 6, 6, 4, 2; the outer pixels of each row are black.
bool LampCovers(int r, int c, int& rimOrLit) {
    static constexpr int kHalfWidth[6] = {1, 2, 3, 3, 2, 1};
    const int half = kHalfWidth[r];
    const int from = 3 - half;
    const int to = 2 + half;  // inclusive
    if (c < from || c > to) {
        return false;
    }
    rimOrLit = (c == from || c == to) ? 0 : 1;
    return true;
}

}  // namespace

ModulePixel ModulePixelAt(int row, int column) {
    if (row < 0 || row >= kModuleImageHeight || column < 0 || column >= kModuleImageWidth) {
        return ModulePixel::Transparent;
    }
    // Cut corners: top left and bottom right.
    if ((row == 0 && column <= 2) || (row == 1 && column <= 1) || (row == 2 && column == 0) ||
        (row == 24 && column == 19) || (row == 25 && column >= 18) || (row == 26 && column >= 17)) {
        return ModulePixel::Transparent;
    }
    if (row >= 1 && row <= 22 && column >= 4 && column <= 18) {
        if (row >= 4 && row <= 9) {
            int kind = 0;
            if (column >= 5 && column <= 10 && LampCovers(row - 4, column - 5, kind)) {
                return kind ? ModulePixel::LeftLamp : ModulePixel::Black;
            }
            if (column >= 12 && column <= 17 && LampCovers(row - 4, column - 12, kind)) {
                return kind ? ModulePixel::RightLamp : ModulePixel::Black;
            }
        }
        return ModulePixel::Face;
    }
    return ModulePixel::Black;
}

}  // namespace quorval
