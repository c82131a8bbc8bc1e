#include <gtest/gtest.h>

#include <optional>
#include <set>
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
