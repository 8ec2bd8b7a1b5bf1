#pragma once

#include <functional>

namespace quorval {

// Time of day in seconds, as stored in module records. Not for timeouts:
// it jumps back at midnight. Timeouts use QElapsedTimer.
float SecondsSinceMidnight();

using TimeOfDay = std::function<float()>;

}  // namespace quorval
