#include "common/EventYield.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace quorval {

void YieldToEventLoop() {
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(1);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // Whatever arrived while waiting runs now as well.
    QCoreApplication::processEvents();
}

}  // namespace quorval

#include <QElapsedTimer>

namespace quorval {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= timeoutMs) {
            return done();
        }
        YieldToEventLoop();
    }
    return true;
}

}  // namespace quorval
