#include "common/Clock.h"

#include <QTime>

namespace quorval {

float SecondsSinceMidnight() {
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0f;
}

}  // namespace quorval
