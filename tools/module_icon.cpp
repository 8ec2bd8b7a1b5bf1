// Writes the program's icon as SVG: the module picture of the bus view, drawn
// from the same pixel layout, so icon and window cannot drift apart.
//
//   quorval-icon FILE

#include <cstdio>
#include <string>

#include "geometry/ModulePixels.h"

using namespace quorval;

namespace {

// A module without errors; empty for a transparent pixel.
std::string Fill(ModulePixel pixel) {
    unsigned rgb = 0;
    switch (pixel) {
        case ModulePixel::Transparent:
            return {};
        case ModulePixel::Black:
            rgb = 0x000000;
            break;
        case ModulePixel::Face:
            rgb = kFaceRgb;
            break;
        case ModulePixel::LeftLamp:
        case ModulePixel::RightLamp:
            rgb = kLampOkRgb;
            break;
    }
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", rgb);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: quorval-icon FILE\n", stderr);
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    // A square canvas with the picture centred across.
    const int side = kModuleImageHeight;
    std::fprintf(out,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
                 "viewBox=\"%g 0 %d %d\" shape-rendering=\"crispEdges\">\n",
                 side, side, (kModuleImageWidth - side) / 2.0, side, side);
    // One rectangle per run of equal pixels in a row.
    for (int row = 0; row < kModuleImageHeight; ++row) {
        for (int col = 0; col < kModuleImageWidth;) {
            const std::string fill = Fill(ModulePixelAt(row, col));
            int end = col + 1;
            while (end < kModuleImageWidth && Fill(ModulePixelAt(row, end)) == fill) {
                ++end;
            }
            if (!fill.empty()) {
                std::fprintf(out,
                             "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"1\" fill=\"%s\"/>\n",
                             col, row, end - col, fill.c_str());
            }
            col = end;
        }
    }
    std::fputs("</svg>\n", out);
    return std::fclose(out) == 0 ? 0 : 1;
}
