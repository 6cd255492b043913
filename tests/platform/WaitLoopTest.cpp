#include "platform/WaitLoop.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

using platform::WaitResult;
using platform::WaitUntil;

TEST(WaitLoop, EndsWhenATimerMakesTheConditionTrue)
{
    bool ready = false;
    QTimer::singleShot(30, [&ready] { ready = true; });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(WaitUntil([&] { return ready; }, 5000), WaitResult::Done);
    EXPECT_GE(clock.elapsed(), 25);
    EXPECT_LT(clock.elapsed(), 4000);
}

TEST(WaitLoop, ConditionAlreadyTrueReturnsAtOnceEvenWithZeroTimeout)
{
    EXPECT_EQ(WaitUntil([] { return true; }, 0), WaitResult::Done);
}

TEST(WaitLoop, TimesOutWhenNothingHappens)
{
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(WaitUntil([] { return false; }, 50), WaitResult::TimedOut);
    EXPECT_GE(clock.elapsed(), 45);
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST(WaitLoop, CancelFromAnotherTimerEndsTheWait)
{
    bool cancel = false;
    QTimer::singleShot(20, [&cancel] { cancel = true; });
    EXPECT_EQ(WaitUntil([] { return false; }, -1, [&] { return cancel; }), WaitResult::Canceled);
}

TEST(WaitLoop, NestedWaitsBothComplete)
{
    // A timer that fires inside the outer wait starts an inner wait of its own, as a check started
    // from a timer while another operation waits would.
    bool outerReady = false;
    bool innerResult = false;
    QTimer::singleShot(10, [&] {
        bool innerReady = false;
        QTimer::singleShot(10, [&innerReady] { innerReady = true; });
        innerResult = WaitUntil([&] { return innerReady; }, 5000) == WaitResult::Done;
        outerReady = true;
    });
    EXPECT_EQ(WaitUntil([&] { return outerReady; }, 5000), WaitResult::Done);
    EXPECT_TRUE(innerResult);
}

TEST(WaitLoop, IdleWaitUsesNoCpu)
{
    // A waiting program must block, not spin: 300 ms of waiting costs next to no CPU time.
    const std::clock_t before = std::clock();
    EXPECT_EQ(WaitUntil([] { return false; }, 300), WaitResult::TimedOut);
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC;
    EXPECT_LT(cpuMs, 100.0);
}
