#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#ifndef _WIN32
#include <time.h>
#endif

#include "foundation/Stopwatch.h"

TEST(Stopwatch, ZeroUntilStartedThenMeasures) {
    Stopwatch watch;
    EXPECT_FALSE(watch.IsStarted());
    EXPECT_EQ(watch.ElapsedMs(), 0.0);
    watch.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const double ms = watch.ElapsedMs();
    EXPECT_GE(ms, 49.0);
    EXPECT_LT(ms, 2000.0);
    watch.Start();   // a restart measures from the new point
    EXPECT_LT(watch.ElapsedMs(), ms);
}

TEST(Stopwatch, TicksAreMonotonicNotWallClock) {
    // Wall-clock ticks count from 1970, about 1.7e17 of them by now; the monotonic
    // clock counts from boot. Machines up for more than ten years are not expected.
    const int64_t wallTicks =
        std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::system_clock::now().time_since_epoch()).count() * 10;
    const int64_t ticks = MonotonicTicks();
    EXPECT_GT(wallTicks - ticks, int64_t(10) * 365 * 24 * 3600 * 10000000);
#ifndef _WIN32
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const int64_t mono = int64_t(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
    EXPECT_LT(std::llabs(mono - ticks), 10000000);   // within a second
#endif
    // About 10,000,000 ticks per second.
    const int64_t before = MonotonicTicks();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int64_t delta = MonotonicTicks() - before;
    EXPECT_GE(delta, 990000);
    EXPECT_LT(delta, 20000000);
}

TEST(Stopwatch, ElapsedSinceIsNeverNegative) {
    const int64_t now = MonotonicTicks();
    EXPECT_EQ(ElapsedMsSince(now + 10 * 10000000LL), 0.0);   // ten seconds ahead
    const double past = ElapsedMsSince(now - 5 * 10000LL);      // five milliseconds ago
    EXPECT_GE(past, 5.0);
    EXPECT_LT(past, 2000.0);
}
