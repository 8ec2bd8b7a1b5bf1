#pragma once

namespace quorval {

// The 20 x 27 pixel drawing of a module: a box seen a little from the left and
// from below, with one lamp per CAN channel in the upper part of its face.
constexpr int kModuleImageWidth = 20;
constexpr int kModuleImageHeight = 27;

enum class ModulePixel { Transparent, Black, Face, LeftLamp, RightLamp };

// Colours as 0xRRGGBB, shared by the window pictures and the program's icon.
constexpr unsigned kFaceRgb = 0x808080;
constexpr unsigned kHighlightedFaceRgb = 0xC0C0FF;
constexpr unsigned kLampOkRgb = 0x00FF00;
constexpr unsigned kLampErrorRgb = 0xFF0000;
// A module that went missing: greyed, lamps dark.
constexpr unsigned kMissingOutlineRgb = 0x707070;
constexpr unsigned kMissingFaceRgb = 0xA8A8A8;
constexpr unsigned kMissingHighlightedFaceRgb = 0xC4C4E8;
constexpr unsigned kMissingLampRgb = 0x8C8C8C;

// What the pixel at (row, column) shows; Transparent outside the image.
ModulePixel ModulePixelAt(int row, int column);

}  // namespace quorval
