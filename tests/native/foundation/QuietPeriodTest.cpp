#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

// A hold begun on one thread is ended on another, or ends by itself at its time bound, so
// that a flow whose end never comes keeps nothing waiting for long. A slot keeps one hold
// per flow: beginning it again replaces the old hold.
TEST(QuietPeriod, HoldsEndByTokenOrByTimeAndSlotsKeepOne) {
    ASSERT_FALSE(QuietPeriod::IsActive());
    QuietPeriod::Token token = QuietPeriod::Begin(10000);
    EXPECT_NE(token, 0u);
    EXPECT_TRUE(QuietPeriod::IsActive());
    std::thread([token] { QuietPeriod::End(token); }).join();
    EXPECT_FALSE(QuietPeriod::IsActive()) << "ended from another thread";
    QuietPeriod::End(token);   // twice, and the empty token: nothing
    QuietPeriod::End(0);

    QuietPeriod::Begin(150);   // never ended
    EXPECT_TRUE(QuietPeriod::IsActive());
    auto start = Clock::now();
    EXPECT_TRUE(QuietPeriod::WaitUntilQuiet(10000)) << "the hold expires";
    EXPECT_GE(MsSince(start), 100.0);
    EXPECT_LT(MsSince(start), 5000.0) << "woken at the expiry, not at the wait's own bound";
    EXPECT_FALSE(QuietPeriod::IsActive());

    QuietPeriod::Slot slot(10000);
    slot.Begin();
    slot.Begin();   // the first hold is replaced, not leaked
    EXPECT_TRUE(QuietPeriod::IsActive());
    slot.End();
    EXPECT_FALSE(QuietPeriod::IsActive()) << "one End ends the slot's only hold";
    slot.End();
    {
        QuietPeriod::SlotEnd end(slot);
        slot.Begin();
        EXPECT_TRUE(QuietPeriod::IsActive());
    }
    EXPECT_FALSE(QuietPeriod::IsActive()) << "ended on leaving the scope";
}

// Child starts held back start in the order in which they were requested, whichever
// runner thread wakes first; a place dropped without starting lets the next one go.
TEST(QuietPeriod, HeldStartsGoInRequestOrder) {
    constexpr int kStarts = 6;
    std::vector<std::unique_ptr<QuietPeriod::Turn>> turns;
    QuietPeriod::Token hold = QuietPeriod::Begin(10000);
    for (int i = 0; i < kStarts; ++i) turns.push_back(std::make_unique<QuietPeriod::Turn>());
    auto dropped = std::make_unique<QuietPeriod::Turn>();   // requested, never started
    auto last = std::make_unique<QuietPeriod::Turn>();
    std::mutex mutex;
    std::vector<int> order;
    std::vector<std::thread> runners;
    // Threads made in the reverse order, the latest request first.
    runners.emplace_back([&] {
        last->Wait(10000);
        std::lock_guard<std::mutex> lock(mutex);
        order.push_back(kStarts);
        last->Started();
    });
    for (int i = kStarts - 1; i >= 0; --i) {
        runners.emplace_back([&, i] {
            EXPECT_TRUE(turns[i]->Wait(10000));
            {
                std::lock_guard<std::mutex> lock(mutex);
                order.push_back(i);
            }
            turns[i]->Started();
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_TRUE(order.empty()) << "nothing starts while held";
    }
    QuietPeriod::End(hold);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    dropped.reset();
    for (std::thread& t : runners) t.join();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, kStarts}));
}

// The exit ends every hold at once, and none begun after it holds. (In a child process:
// the end is for good.)
TEST(QuietPeriod, EndAllReleasesEverythingForGood) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QuietPeriod::Scope scope;
            QuietPeriod::Begin(10000);
            bool heldBefore = QuietPeriod::IsActive();
            QuietPeriod::EndAll();
            bool ok = heldBefore && !QuietPeriod::IsActive() && QuietPeriod::Begin(10000) == 0 &&
                      QuietPeriod::WaitUntilQuiet(0);
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
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
