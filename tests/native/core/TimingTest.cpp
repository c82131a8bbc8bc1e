#include <gtest/gtest.h>

#include "core/FrameRateMeter.h"
#include "core/IntervalGate.h"
#include "core/QpcTime.h"
#include "core/SpeedSampler.h"
#include "core/video/ThrottledLog.h"
#include "LogCapture.h"
#include "ManualClock.h"

namespace {

TEST(FrameRateMeter, SumIsTheCountOfTheLastSecond) {
    struct Push {
        double afterMs;
        int count;
    };
    struct Case {
        const char* name;
        std::vector<Push> pushes;
        int sum;
    };
    const Case kCases[] = {
        {"nothing pushed", {}, 0},
        {"one push", {{0, 30}}, 30},
        {"30 then 29 a second later", {{1000, 30}, {1000, 29}}, 29},
        {"pushes within one second add up", {{0, 30}, {500, 10}}, 40},
        {"999 ms later the older slot is overwritten", {{0, 30}, {999, 29}}, 29},
        {"after a long pause only the last counts", {{0, 30}, {3600.0 * 1000 * 24, 7}}, 7},
        {"same millisecond", {{0, 3}, {0, 4}, {0, 5}}, 12},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        ManualClock clock;
        FrameRateMeter meter(clock.Source());
        for (const Push& p : c.pushes) {
            clock.AdvanceMs(p.afterMs);
            meter.Push(p.count);
        }
        EXPECT_EQ(meter.Sum(), c.sum);
    }
}

TEST(SpeedSampler, AverageTruncatesTheRunningTotal) {
    struct Case {
        const char* name;
        std::vector<float> samples;
        double average;
    };
    std::vector<float> many;
    for (int i = 0; i < 40; ++i) many.push_back(i < 10 ? 1000.0f : 2.0f);  // only the newest 30 count
    const Case kCases[] = {
        {"empty", {}, 0.0},
        {"10.6 three times", {10.6f, 10.6f, 10.6f}, 10.0},
        {"integer division of the total", {1.0f, 2.0f}, 1.0},
        {"0.9 never adds up", {0.9f, 0.9f, 0.9f, 0.9f}, 0.0},
        {"oldest dropped beyond 30", many, 2.0},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        SpeedSampler sampler;
        for (float s : c.samples) sampler.Push(s);
        EXPECT_DOUBLE_EQ(sampler.Average(), c.average);
    }
}

TEST(IntervalGate, DueWhenNeverStartedThenAfterTheInterval) {
    ManualClock clock;
    IntervalGate gate(1000, clock.Source());
    EXPECT_TRUE(gate.IsDue());
    EXPECT_EQ(gate.ElapsedMs(), 0.0);
    gate.Restart();
    EXPECT_FALSE(gate.IsDue());
    clock.AdvanceMs(999.9);
    EXPECT_FALSE(gate.IsDue());
    clock.AdvanceMs(0.1);
    EXPECT_TRUE(gate.IsDue());
    EXPECT_DOUBLE_EQ(gate.ElapsedMs(), 1000.0);
    gate.Restart();
    EXPECT_FALSE(gate.IsDue());
}

TEST(IntervalGate, DefaultClockMoves) {
    IntervalGate gate(1);
    gate.Restart();
    int64_t start = MonotonicTicks();
    while (MonotonicTicks() - start < 30 * kTicksPerMs) {
    }
    EXPECT_TRUE(gate.IsDue());
    EXPECT_GE(gate.ElapsedMs(), 20.0);
}

TEST(ThrottledLog, OneLinePerIntervalCountedFromCreation) {
    ManualClock clock;
    LogCapture log;
    ThrottledLog throttled(2000, clock.Source());
    throttled("line %d\n", 1);  // within the first interval
    clock.AdvanceMs(2000);
    throttled("line %d\n", 2);
    clock.AdvanceMs(1999);
    throttled("line %d\n", 3);
    clock.AdvanceMs(1);
    throttled("line %d\n", 4);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"line 2", "line 4"}));
}

TEST(QpcTime, ConvertsToHundredNanoseconds) {
    struct Case {
        int64_t counter, frequency;
        uint64_t ticks;
    };
    const Case kCases[] = {
        {10000000, 10000000, 10000000},
        {3579545, 3579545, 10000000},          // one second of an ACPI timer
        {3579546, 3579545, 10000002},          // truncated, not rounded
        {1000, 1000000000, 10},                // 1 µs on a 1 GHz counter
        {int64_t(86400) * 24 * 365 * 3579545, 3579545, uint64_t(86400) * 24 * 365 * 10000000},
        {5, 0, 0},
        {0, 1000, 0},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.counter << "/" << c.frequency);
        EXPECT_EQ(QpcToHundredNs(c.counter, c.frequency), c.ticks);
    }
}

}  // namespace
