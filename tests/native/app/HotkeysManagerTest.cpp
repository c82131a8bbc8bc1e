#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/HotkeysManager.h"

namespace {

constexpr int kCtrl = 17, kShift = 16, kPrtScr = 44, kLButton = 1, kRButton = 2, kA = 65;

// A keyboard whose held keys the test sets; it records every key asked for.
struct FakeKeys {
    std::set<int> down;
    std::vector<int> asked;
    KeyDownFunction Function() {
        return [this](int key) {
            asked.push_back(key);
            return down.count(key) != 0;
        };
    }
};

HotkeySet MakeSet(std::initializer_list<std::pair<HotkeySlot, HotkeyCombination>> slots) {
    HotkeySet set;
    for (const auto& s : slots) set[s.first] = s.second;
    return set;
}

TEST(HotkeysManagerTest, PollCandidatesSkipTheDrawModeAndVideoModeSlots) {
    std::vector<HotkeySlot> expected = {HotkeySlot::FullScreenshot,         HotkeySlot::RegionScreenshot,
                                        HotkeySlot::RegionScreenshotByMouse, HotkeySlot::ActiveWindowScreenshot,
                                        HotkeySlot::VideoRecordingActivation, HotkeySlot::VideoRecordingByMouse};
    EXPECT_EQ(HotkeysManager::GetPollCandidates(HotkeySet()), expected);
}

TEST(HotkeysManagerTest, LongestHeldCombinationWinsAndTheEarlierSlotOnATie) {
    struct Case {
        const char* name;
        HotkeySet set;
        std::set<int> down;
        std::optional<HotkeySlot> expected;
    };
    const Case cases[] = {
        {"Ctrl+PrtScr beats PrtScr",
         MakeSet({{HotkeySlot::FullScreenshot, {kPrtScr}}, {HotkeySlot::RegionScreenshot, {kCtrl, kPrtScr}}}),
         {kCtrl, kPrtScr}, HotkeySlot::RegionScreenshot},
        {"PrtScr alone fires the full-screen slot",
         MakeSet({{HotkeySlot::FullScreenshot, {kPrtScr}}, {HotkeySlot::RegionScreenshot, {kCtrl, kPrtScr}}}),
         {kPrtScr}, HotkeySlot::FullScreenshot},
        {"the longer slot later in the order still wins",
         MakeSet({{HotkeySlot::FullScreenshot, {kPrtScr}},
                  {HotkeySlot::VideoRecordingActivation, {kCtrl, kShift, kPrtScr}}}),
         {kCtrl, kShift, kPrtScr}, HotkeySlot::VideoRecordingActivation},
        {"equal key counts: the earlier slot",
         MakeSet({{HotkeySlot::ActiveWindowScreenshot, {kCtrl, kA}}, {HotkeySlot::RegionScreenshot, {kShift, kA}}}),
         {kCtrl, kShift, kA}, HotkeySlot::RegionScreenshot},
        {"the draw-mode slot is never polled",
         MakeSet({{HotkeySlot::DrawModeActivation, {kA}}, {HotkeySlot::VideoModeActivation, {kA}}}), {kA},
         std::nullopt},
        {"a partly held combination does not count",
         MakeSet({{HotkeySlot::VideoRecordingByMouse, {kCtrl, kShift, kLButton, kRButton}}}),
         {kCtrl, kLButton, kRButton}, std::nullopt},
        {"the mouse gesture with both modifiers",
         MakeSet({{HotkeySlot::RegionScreenshotByMouse, {kLButton, kRButton}},
                  {HotkeySlot::VideoRecordingByMouse, {kCtrl, kShift, kLButton, kRButton}}}),
         {kCtrl, kShift, kLButton, kRButton}, HotkeySlot::VideoRecordingByMouse},
        {"empty slots never fire", HotkeySet(), {kPrtScr}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeKeys keys;
        keys.down = c.down;
        EXPECT_EQ(HotkeysManager::FindPressedCombination(c.set, HotkeysManager::GetPollCandidates(c.set),
                                                         keys.Function()),
                  c.expected);
    }
}

TEST(HotkeysManagerTest, EveryKeyOfEveryCandidateIsAsked) {
    HotkeySet set = MakeSet({{HotkeySlot::FullScreenshot, {kCtrl, kPrtScr}}, {HotkeySlot::RegionScreenshot, {kA}},
                             {HotkeySlot::DrawModeActivation, {kShift}}});
    FakeKeys keys;   // nothing held: the first key of each candidate is up
    HotkeysManager::FindPressedCombination(set, HotkeysManager::GetPollCandidates(set), keys.Function());
    EXPECT_EQ(keys.asked, (std::vector<int>{kCtrl, kPrtScr, kA}));
}

TEST(HotkeysManagerTest, HeldKeyFiresOnceUntilEveryPolledCombinationIsReleased) {
    HotkeySet set = MakeSet({{HotkeySlot::FullScreenshot, {kPrtScr}}, {HotkeySlot::RegionScreenshot, {kCtrl, kPrtScr}}});
    FakeKeys keys;
    bool latch = false;
    auto pass = [&] { return HotkeysManager::PollPass(set, keys.Function(), true, latch); };

    keys.down = {kPrtScr};
    EXPECT_EQ(pass(), HotkeySlot::FullScreenshot);
    // Held for a second: 100 more passes, no second firing.
    for (int i = 0; i < 100; ++i) ASSERT_EQ(pass(), std::nullopt) << "pass " << i;
    // Adding Ctrl while PrintScreen is still down fires nothing either: the latch holds
    // for every slot until all are released.
    keys.down = {kCtrl, kPrtScr};
    EXPECT_EQ(pass(), std::nullopt);
    keys.down = {};
    EXPECT_EQ(pass(), std::nullopt);
    EXPECT_FALSE(latch);
    keys.down = {kCtrl, kPrtScr};
    EXPECT_EQ(pass(), HotkeySlot::RegionScreenshot);
}

// A keyboard as GetAsyncKeyState shows it: a key's "pressed since" bit is set when it
// goes down (again by auto-repeat) and cleared when the key is read.
struct AsyncKeys {
    std::set<int> down, pressedSince;
    std::vector<int> reads;
    void Press(int key) {
        down.insert(key);
        pressedSince.insert(key);
    }
    void Release(int key) { down.erase(key); }
    void Tap(int key) {   // down and up again between two passes
        Press(key);
        Release(key);
    }
    KeyReadFunction Function() {
        return [this](int key) {
            reads.push_back(key);
            KeyRead read{down.count(key) != 0, pressedSince.count(key) != 0};
            pressedSince.erase(key);
            return read;
        };
    }
};

// What the poller counts as held, pass by pass: a press that began and ended between two
// passes (a late pass) counts once; a press from before the first read does not; a key
// released after passes saw it held does not count again because of its own repeats.
TEST(HotkeysManagerTest, KeyPressReaderKeepsShortPressesAndCountsEachOnce) {
    struct Step {
        const char* action;   // "tap", "press", "release", "repeat" or "" before the pass
        bool held;            // the pass's answer for the key
    };
    struct Case {
        const char* name;
        bool pressedBeforeStart;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"held over several passes", false, {{"", false}, {"press", true}, {"", true}, {"release", false}, {"", false}}},
        {"tapped between two passes", false, {{"", false}, {"tap", true}, {"", false}, {"tap", true}, {"", false}}},
        {"a press before the first read is old", true, {{"", false}, {"", false}, {"tap", true}}},
        {"auto-repeat before the release", false,
         {{"", false}, {"press", true}, {"repeat", true}, {"release", false}, {"", false}}},
        {"released and tapped again between two passes while seen held", false,
         {{"", false}, {"press", true}, {"release", false}, {"tap", true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AsyncKeys keys;
        if (c.pressedBeforeStart) keys.Tap(kPrtScr);
        KeyPressReader reader(keys.Function());
        int pass = 0;
        for (const Step& step : c.steps) {
            const std::string action = step.action;
            if (action == "tap") keys.Tap(kPrtScr);
            if (action == "press" || action == "repeat") keys.Press(kPrtScr);
            if (action == "release") keys.Release(kPrtScr);
            reader.BeginPass();
            EXPECT_EQ(reader.IsHeld(kPrtScr), step.held) << "pass " << pass << " after " << action;
            EXPECT_EQ(reader.IsHeld(kPrtScr), step.held) << "asked twice in one pass";
            ++pass;
        }
        EXPECT_EQ(keys.reads.size(), c.steps.size()) << "read once per pass";
    }
}

// In the poller: Ctrl held and PrintScreen tapped between two passes fires the Ctrl
// slot, although two slots ask for PrintScreen (its bit is read once for both); and
// fifty 50 ms presses with the passes 60 ms apart (each press falls between two passes
// or is seen by one) fire fifty times.
TEST(HotkeysManagerTest, ShortPressesBetweenPassesFireTheirSlotOnce) {
    HotkeySet set = MakeSet({{HotkeySlot::FullScreenshot, {kPrtScr}}, {HotkeySlot::RegionScreenshot, {kCtrl, kPrtScr}}});
    AsyncKeys keys;
    KeyPressReader reader(keys.Function());
    KeyDownFunction isHeld = [&reader](int key) { return reader.IsHeld(key); };
    bool latch = false;
    auto pass = [&] {
        reader.BeginPass();
        return HotkeysManager::PollPass(set, isHeld, true, latch);
    };
    EXPECT_EQ(pass(), std::nullopt);
    keys.Press(kCtrl);
    EXPECT_EQ(pass(), std::nullopt);
    keys.Tap(kPrtScr);
    EXPECT_EQ(pass(), HotkeySlot::RegionScreenshot);
    EXPECT_EQ(pass(), std::nullopt);
    EXPECT_FALSE(latch);
    keys.Release(kCtrl);

    // Time in milliseconds: fifty presses of 50 ms, 130 ms apart; a pass every 60 ms. A
    // poller that only asks whether the key is down now misses the presses that fall
    // between two passes.
    int fired = 0, firedDownOnly = 0;
    bool latchDownOnly = false;
    KeyDownFunction isDownNow = [&keys](int key) { return keys.down.count(key) != 0; };
    for (int t = 0; t < 50 * 130; ++t) {
        if (t % 130 == 0) keys.Press(kPrtScr);
        if (t % 130 == 50) keys.Release(kPrtScr);
        if (t % 60 == 7) {
            if (HotkeysManager::PollPass(set, isDownNow, true, latchDownOnly)) ++firedDownOnly;
            if (pass() == HotkeySlot::FullScreenshot) ++fired;
        }
    }
    EXPECT_LT(firedDownOnly, 50) << "the case is one where passes miss presses";
    EXPECT_EQ(fired, 50);
}

TEST(HotkeysManagerTest, DisabledHandlersFireNothingAndTheLatchClearsOnlyOnRelease) {
    HotkeySet set = MakeSet({{HotkeySlot::FullScreenshot, {kPrtScr}}});
    FakeKeys keys;
    bool latch = false;
    keys.down = {kPrtScr};
    EXPECT_EQ(HotkeysManager::PollPass(set, keys.Function(), false, latch), std::nullopt);
    // Pressed while the capture dialog was open, still held after it closed: no firing.
    latch = true;
    EXPECT_EQ(HotkeysManager::PollPass(set, keys.Function(), true, latch), std::nullopt);
    keys.down = {};
    EXPECT_EQ(HotkeysManager::PollPass(set, keys.Function(), false, latch), std::nullopt);
    EXPECT_FALSE(latch) << "released while disabled still clears the latch";
    keys.down = {kPrtScr};
    EXPECT_EQ(HotkeysManager::PollPass(set, keys.Function(), true, latch), HotkeySlot::FullScreenshot);
}

TEST(HotkeysManagerTest, RunPollPassCallsTheFiredSlotsHandlerOnceAndRespectsDisable) {
    HotkeysManager::LoadCombinations(
        MakeSet({{HotkeySlot::FullScreenshot, {kPrtScr}}, {HotkeySlot::DrawModeActivation, {kA}}}));
    std::vector<int> calls;
    for (int slot = 0; slot < kHotkeySlotCount; ++slot) {
        HotkeysManager::SetHandler(static_cast<HotkeySlot>(slot), [&calls, slot] { calls.push_back(slot); });
    }
    FakeKeys keys;
    keys.down = {kA};
    EXPECT_EQ(HotkeysManager::RunPollPass(keys.Function()), std::nullopt) << "slot 4 never fires";
    keys.down = {kPrtScr};
    EXPECT_EQ(HotkeysManager::RunPollPass(keys.Function()), HotkeySlot::FullScreenshot);
    EXPECT_EQ(HotkeysManager::RunPollPass(keys.Function()), std::nullopt);
    keys.down = {};
    HotkeysManager::RunPollPass(keys.Function());
    HotkeysManager::DisableHandlers();
    keys.down = {kPrtScr};
    EXPECT_EQ(HotkeysManager::RunPollPass(keys.Function()), std::nullopt);
    HotkeysManager::EnableHandlers();
    keys.down = {};
    HotkeysManager::RunPollPass(keys.Function());
    keys.down = {kPrtScr};
    EXPECT_EQ(HotkeysManager::RunPollPass(keys.Function()), HotkeySlot::FullScreenshot);
    EXPECT_EQ(calls, (std::vector<int>{0, 0}));
    keys.down = {};
    HotkeysManager::RunPollPass(keys.Function());
    for (int slot = 0; slot < kHotkeySlotCount; ++slot) HotkeysManager::SetHandler(static_cast<HotkeySlot>(slot), {});
    HotkeysManager::LoadCombinations(HotkeySet());
}

TEST(HotkeysManagerTest, CombinationInUseComparesOrderAndCoversEverySlot) {
    HotkeysManager::LoadCombinations(MakeSet({{HotkeySlot::RegionScreenshot, {kCtrl, kPrtScr}},
                                              {HotkeySlot::VideoModeActivation, {kShift, kA}}}));
    EXPECT_TRUE(HotkeysManager::IsCombinationInUse({kCtrl, kPrtScr}));
    EXPECT_FALSE(HotkeysManager::IsCombinationInUse({kPrtScr, kCtrl}));
    EXPECT_TRUE(HotkeysManager::IsCombinationInUse({kShift, kA})) << "slot 5 counts too";
    EXPECT_EQ(HotkeysManager::GetRegionScreenshotHotkey(), (HotkeyCombination{kCtrl, kPrtScr}));
    HotkeysManager::LoadCombinations(HotkeySet());
}

}  // namespace
