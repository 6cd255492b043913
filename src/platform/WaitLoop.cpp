#include "platform/WaitLoop.h"

#include <QEventLoop>
#include <QTimer>

namespace platform {

WaitResult WaitUntil(const std::function<bool()>& done, int timeoutMs, const std::function<bool()>& canceled)
{
    bool timedOut = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&timedOut] { timedOut = true; });
    if (timeoutMs >= 0)
        timer.start(timeoutMs);

    QEventLoop loop;
    for (;;) {
        if (done && done())
            return WaitResult::Done;
        if (canceled && canceled())
            return WaitResult::Canceled;
        if (timedOut)
            return WaitResult::TimedOut;
        // Blocks until at least one event has been delivered; the timer above guarantees one.
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
}

} // namespace platform
