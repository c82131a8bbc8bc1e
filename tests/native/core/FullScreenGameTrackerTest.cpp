#include <gtest/gtest.h>

#include "core/FullScreenGameTracker.h"
#include "LogCapture.h"
#include "ManualClock.h"

namespace {

const MonitorSizeMap kOne = {{L"\\\\.\\DISPLAY1", {1920, 1080}}};
const MonitorSizeMap kOneOtherResolution = {{L"\\\\.\\DISPLAY1", {1280, 1024}}};
const MonitorSizeMap kTwo = {{L"\\\\.\\DISPLAY1", {1920, 1080}}, {L"\\\\.\\DISPLAY2", {1920, 1080}}};
const MonitorSizeMap kRenamed = {{L"\\\\.\\DISPLAY3", {1920, 1080}}};

TEST(MonitorSizeMap, FirstEntryOfANameWins) {
    MonitorSizeMap map;
    AddMonitor(map, L"A", 10, 20);
    AddMonitor(map, L"A", 30, 40);
    AddMonitor(map, L"", 0, 0);
    EXPECT_EQ(map, (MonitorSizeMap{{L"A", {10, 20}}, {L"", {0, 0}}}));
}

TEST(FullScreenGameTracker, ChangeIsRecentForTenSecondsAfterAnyUpdate) {
    ManualClock clock;
    MonitorSizeMap current = kOne;
    FullScreenGameTracker tracker([&] { return current; }, clock.Source());
    EXPECT_FALSE(tracker.IsDisplayChangeRecent()) << "nothing is recent right after start";
    EXPECT_FALSE(tracker.m_displayChanged);

    // A colour-depth change: same monitors, but the next 10 s count as recent.
    clock.AdvanceMs(60000);
    tracker.UpdateDisplayState();
    EXPECT_FALSE(tracker.m_displayChanged);
    EXPECT_TRUE(tracker.IsDisplayChangeRecent());
    clock.AdvanceMs(9999);
    EXPECT_TRUE(tracker.IsDisplayChangeRecent());
    clock.AdvanceMs(1);
    EXPECT_FALSE(tracker.IsDisplayChangeRecent());
}

TEST(FullScreenGameTracker, DetectsChangedMonitors) {
    struct Case {
        const char* name;
        MonitorSizeMap next;
        bool changed;
    };
    const Case kCases[] = {{"same", kOne, false},
                           {"other resolution", kOneOtherResolution, true},
                           {"monitor added", kTwo, true},
                           {"renamed", kRenamed, true},
                           {"all gone", {}, true}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        ManualClock clock;
        MonitorSizeMap current = kOne;
        FullScreenGameTracker tracker([&] { return current; }, clock.Source());
        current = c.next;
        LogCapture log;
        tracker.UpdateDisplayState();
        EXPECT_EQ(tracker.m_displayChanged.load(), c.changed);
        EXPECT_EQ(log.Count("FullScreenGameTracker: Display state change detected"), c.changed ? 1u : 0u);
        // The new configuration is the reference from now on.
        tracker.UpdateDisplayState();
        EXPECT_FALSE(tracker.m_displayChanged);
    }
}

}  // namespace
