#pragma once
// The one place where the program waits for a network result. It runs a nested event loop, so
// timers, clicks and socket signals keep being handled, and returns when the condition holds, when
// the cancel test says so, or when the time-out has passed. It never sleeps and never spins: between
// two checks it blocks until the next event arrives.

#include <functional>

namespace platform {

enum class WaitResult
{
    Done,
    Canceled,
    TimedOut,
};

// timeoutMs < 0 waits without a time limit (only the condition or the cancel test end the wait).
// The condition is tested first, then the cancel test, then the time-out, before every block.
WaitResult WaitUntil(const std::function<bool()>& done, int timeoutMs,
                     const std::function<bool()>& canceled = {});

} // namespace platform
