#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/SettingsWindowLogic.h"

namespace {

using namespace KeyMessage;

struct Press {
    unsigned message;
    int key;
};

// Feeds a sequence of key messages to one recording; returns how many were consumed.
int Feed(HotkeyRecording& recording, const std::vector<Press>& presses) {
    int consumed = 0;
    for (const Press& p : presses) consumed += RecordHotkeyMessage(p.message, p.key, recording).consumed ? 1 : 0;
    return consumed;
}

TEST(HotkeyRecorderTest, RecordsTheKeysInTheOrderPressed) {
    struct Case {
        const char* name;
        std::vector<Press> presses;
        HotkeyCombination keys;
        std::wstring text;
        int consumed;
    };
    const Case cases[] = {
        {"Ctrl, Shift, S", {{kKeyDown, 17}, {kKeyDown, 16}, {kKeyDown, 83}}, {17, 16, 83}, L"Ctrl + Shift + S", 3},
        {"held Ctrl repeats",
         {{kKeyDown, 17}, {kKeyDown, 17}, {kKeyDown, 17}, {kKeyDown, 83}, {kKeyDown, 17}},
         {17, 83},
         L"Ctrl + S",
         5},
        {"Alt combination through WM_SYSKEYDOWN", {{kSysKeyDown, 18}, {kSysKeyDown, 65}}, {18, 65}, L"Alt + A", 2},
        {"PrintScreen on its key-up only", {{kKeyUp, 44}}, {44}, L"PrtScr", 0},
        {"PrintScreen twice", {{kKeyUp, 44}, {kSysKeyUp, 44}}, {44}, L"PrtScr", 0},
        {"Shift then PrintScreen", {{kKeyDown, 16}, {kKeyUp, 44}}, {16, 44}, L"Shift + PrtScr", 1},
        {"keypad 5 has no name", {{kKeyDown, 101}}, {}, L"", 0},
        {"Escape has no name", {{kKeyDown, 27}}, {}, L"", 0},
        {"F13 has one", {{kKeyDown, 124}}, {124}, L"F13", 1},
        {"key-ups of other keys record nothing", {{kKeyUp, 83}, {kSysKeyUp, 18}}, {}, L"", 0},
        {"Del clears", {{kKeyDown, 17}, {kKeyDown, 83}, {kKeyDown, 46}}, {}, L"", 3},
        {"Backspace clears, then records anew",
         {{kKeyDown, 17}, {kKeyDown, 8}, {kKeyDown, 17}},
         {17},
         L"Ctrl",
         3},
        {"Enter and Tab are left to the dialog", {{kKeyDown, 17}, {kKeyDown, 13}, {kKeyDown, 9}}, {17}, L"Ctrl", 1},
        {"other messages", {{0x0102 /* WM_CHAR */, 83}, {0x0200 /* WM_MOUSEMOVE */, 1}}, {}, L"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HotkeyRecording recording;
        EXPECT_EQ(Feed(recording, c.presses), c.consumed);
        EXPECT_EQ(recording.keys, c.keys);
        EXPECT_EQ(recording.text, c.text);
    }
}

TEST(HotkeyRecorderTest, TellsWhenTheEditMustBeRewritten) {
    HotkeyRecording recording;
    EXPECT_TRUE(RecordHotkeyMessage(kKeyDown, 17, recording).changed);
    EXPECT_FALSE(RecordHotkeyMessage(kKeyDown, 17, recording).changed) << "a repeat changes nothing";
    EXPECT_FALSE(RecordHotkeyMessage(kKeyDown, 13, recording).changed);
    EXPECT_TRUE(RecordHotkeyMessage(kKeyUp, 44, recording).changed);
    EXPECT_FALSE(RecordHotkeyMessage(kKeyUp, 44, recording).changed);
}

TEST(ApplyHotkeyTest, ACombinationOfAnotherSlotIsRefused) {
    const HotkeyCombination full = {17, 16, 83}, region = {16, 44};
    struct Case {
        const char* name;
        HotkeyCombination recorded, current;
        bool inUse;
        HotkeyApply expected;
    };
    const Case cases[] = {
        {"new combination", {17, 18, 90}, region, false, HotkeyApply::Apply},
        {"used by the full-screen slot", full, region, true, HotkeyApply::InUse},
        {"the slot's own again", region, region, true, HotkeyApply::Apply},
        {"same keys in another order is another combination", {44, 16}, region, true, HotkeyApply::InUse},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecideHotkeyApply(c.recorded, c.current, c.inUse), c.expected);
    }
}

TEST(SwitchHitTest, EdgesAreExcluded) {
    // Image 50 x 20 drawn at (10, 30).
    struct Case {
        int x, y;
        bool hit;
    };
    const Case cases[] = {
        {11, 31, true},  {58, 48, true},   {35, 40, true},    // inside, including the last inner pixels
        {10, 40, false}, {35, 30, false},                      // left and top edges
        {60, 40, false}, {59, 40, true},                       // last column is x 59: 59 < 60 hits, 60 does not
        {35, 50, false}, {35, 49, true},                       // bottom
        {0, 0, false},   {100, 100, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        EXPECT_EQ(SwitchHit(c.x, c.y, 10, 30, 50, 20), c.hit);
    }
}

TEST(OkFolderTest, HidesOnlyOnAFolder) {
    struct Case {
        const char* name;
        bool keepLocally;
        int createResult;
        bool isDirectory;
        OkFolderDecision expected;
    };
    const Case cases[] = {
        {"not kept locally", false, 3, false, OkFolderDecision::Hide},
        {"created", true, 0, true, OkFolderDecision::Hide},
        {"already there", true, 183, true, OkFolderDecision::Hide},
        {"ERROR_FILE_EXISTS on a folder", true, 80, true, OkFolderDecision::Hide},
        {"a file of that name (183)", true, 183, false, OkFolderDecision::Warn},
        {"a file of that name (80)", true, 80, false, OkFolderDecision::Warn},
        {"path not found (under a file)", true, 3, false, OkFolderDecision::Warn},
        {"bad name", true, 123, false, OkFolderDecision::Warn},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecideOkFolder(c.keepLocally, c.createResult, c.isDirectory), c.expected);
    }
}

TEST(SettingsEventTest, SetOrUnset) {
    EXPECT_EQ(SetOrUnset(true, L"Play Sound"), L"Set Play Sound");
    EXPECT_EQ(SetOrUnset(false, L"Play Sound"), L"Unset Play Sound");
}

}  // namespace
