#pragma once

#include <optional>

class QPainter;
class QPalette;
class QRect;

namespace quorval {

// The ring from the keyboard, the same in the bus view and the watch window.

// Where a key moves the focus from ring position k of n: Right and Down to the
// next position, Left and Up to the previous one, both wrapping; Home to the
// attached module at position 0. Nothing for another key or an empty ring.
std::optional<int> RingFocusTarget(int key, int k, int n);

// Enter, Return or Space act on the focused module as a click does.
bool IsRingActivateKey(int key);

// Frames the focused module picture just outside its rectangle, so that the
// picture and its lamps stay exactly as drawn.
void PaintFocusFrame(QPainter& painter, const QRect& picture, const QPalette& palette);

}  // namespace quorval
