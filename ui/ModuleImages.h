#pragma once

#include <array>

#include <QImage>

namespace quorval {

// The eight module pictures (index 1..8 of the image list at positions 0..7):
// grey face for 1..4, light blue (highlighted) for 5..8; lamps green or red by
// channel 1 (left) and channel 2 (right) error.
std::array<QImage, 8> BuildModuleImages();

// A module that went missing: the same picture greyed, its lamps dark.
QImage BuildMissingModuleImage(bool highlighted);

}  // namespace quorval
