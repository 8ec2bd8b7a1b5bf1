#pragma once

namespace quorval {

// Lets pending events run (timers, port, clicks) from inside a waiting loop.
// Blocks about a millisecond when nothing is pending, so a wait never spins a core.
void YieldToEventLoop();

}  // namespace quorval

#include <functional>

namespace quorval {

// Yields until done() holds or timeoutMs pass on a monotonic clock; returns done().
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

}  // namespace quorval
