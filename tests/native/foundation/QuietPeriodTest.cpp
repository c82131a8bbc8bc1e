#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "foundation/QuietPeriod.h"
#include "foundation/ShotTiming.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(QuietPeriod, WaitEndsWhenTheLastOverlappingScopeEnds) {
    EXPECT_FALSE(QuietPeriod::IsActive());
    EXPECT_TRUE(QuietPeriod::WaitUntilQuiet(0)) << "nothing held: quiet at once";

    auto outer = std::make_unique<QuietPeriod::Scope>();
    std::thread other([] {
        QuietPeriod::Scope inner;   // from another thread, overlapping
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    });
    other.join();
    EXPECT_TRUE(QuietPeriod::IsActive()) << "the outer scope still holds";
    auto start = Clock::now();
    EXPECT_FALSE(QuietPeriod::WaitUntilQuiet(100)) << "times out while held";
    EXPECT_GE(MsSince(start), 90.0);

    std::thread release([&outer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        outer.reset();
    });
    start = Clock::now();
    EXPECT_TRUE(QuietPeriod::WaitUntilQuiet(10000));
    EXPECT_LT(MsSince(start), 5000.0) << "woken by the release, not by the time-out";
    release.join();
    EXPECT_FALSE(QuietPeriod::IsActive());
}

TEST(ShotTiming, LineListsEachStepSinceThePreviousOnlyWhenSwitchedOn) {
    ShotTiming::SetEnabledForTesting(false);
    ShotTiming::Begin();
    ShotTiming::Mark("capture");
    EXPECT_EQ(ShotTiming::LineForTesting(), "") << "nothing is stamped while off";

    ShotTiming::SetEnabledForTesting(true);
    ShotTiming::Begin();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ShotTiming::Mark("capture");
    ShotTiming::Mark("save");
    const std::string line = ShotTiming::LineForTesting();
    double key = 0, capture = -1, save = -1, total = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "Timing: key %lf, capture %lf ms, save %lf ms, total %lf ms", &key, &capture,
                          &save, &total),
              4)
        << line;
    EXPECT_GT(key, 1.6e12) << "wall-clock milliseconds since 1970";
    EXPECT_GE(capture, 15.0);
    EXPECT_GE(save, 0.0);
    EXPECT_NEAR(total, capture + save, 0.2);
    EXPECT_EQ(line.back(), '\n');

    ShotTiming::Begin();   // a new shot forgets the old stamps
    EXPECT_EQ(ShotTiming::LineForTesting().find("capture"), std::string::npos);
    ShotTiming::Finish();
    EXPECT_EQ(ShotTiming::LineForTesting(), "");
    ShotTiming::SetEnabledForTesting(false);
}

}  // namespace
