#include <gtest/gtest.h>

#include <set>

#include "settings/HotkeyCombination.h"
#include "settings/HotkeyKeyNames.h"
#include "settings/HotkeySet.h"

namespace {

KeyDownFunction KeysDown(std::set<int> down, std::vector<int>* asked = nullptr) {
    return [down, asked](int key) {
        if (asked) asked->push_back(key);
        return down.count(key) != 0;
    };
}

}  // namespace

TEST(Hotkey, PressedOnlyWhenEveryKeyIsDown) {
    struct Case { const char* name; HotkeyCombination combo; std::set<int> down; bool pressed; };
    const Case kCases[] = {
        {"empty never pressed", {}, {1, 2, 17, 44}, false},
        {"PrtScr down", {44}, {44}, true},
        {"PrtScr up", {44}, {16}, false},
        {"mouse video all down", {17, 16, 1, 2}, {1, 2, 16, 17}, true},
        {"mouse video one button up", {17, 16, 1, 2}, {2, 16, 17}, false},
        {"mouse video no modifiers", {17, 16, 1, 2}, {1, 2}, false},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsHotkeyPressed(c.combo, KeysDown(c.down)), c.pressed);
    }
}

TEST(Hotkey, EveryKeyIsAskedEvenAfterOneIsUp) {
    std::vector<int> asked;
    EXPECT_FALSE(IsHotkeyPressed({17, 16, 44}, KeysDown({}, &asked)));
    EXPECT_EQ(asked, (std::vector<int>{17, 16, 44}));
}

TEST(Hotkey, EqualityRespectsOrder) {
    EXPECT_TRUE(HotkeyCombinationsEqual({17, 44}, {17, 44}));
    EXPECT_FALSE(HotkeyCombinationsEqual({17, 44}, {44, 17}));
    EXPECT_FALSE(HotkeyCombinationsEqual({17}, {17, 44}));
    EXPECT_TRUE(HotkeyCombinationsEqual({}, {}));
}

TEST(Hotkey, TextStopsAtFirstUnnamedCode) {
    struct Case { HotkeyCombination combo; const wchar_t* text; };
    const Case kCases[] = {
        {{17, 16, 44}, L"Ctrl + Shift + PrtScr"},
        {{}, L""},
        {{1, 2}, L""},
        {{17, 200}, L"Ctrl + "},
        {{17, 1}, L"Ctrl + "},
        {{164, 44}, L"LAlt + PrtScr"},
        {{33, 112, 135}, L"Page Up + F1 + F24"},
        {{48, 57, 65, 90}, L"0 + 9 + A + Z"},
    };
    for (const Case& c : kCases) EXPECT_EQ(HotkeyToText(c.combo), c.text);
}

TEST(Hotkey, KeyNameTable) {
    EXPECT_EQ(g_keyNames.size(), 101u);
    EXPECT_EQ(GetKeyName(27), L"");
    EXPECT_FALSE(IsKnownKey(27));
    EXPECT_TRUE(IsKnownKey(44));
    EXPECT_EQ(GetKeyName(135), L"F24");
    EXPECT_EQ(GetKeyName(123), L"F12");
    EXPECT_EQ(GetKeyName(136), L"");
    // No name for mouse buttons, Caps Lock, keypad digits and punctuation.
    for (int code : {1, 2, 20, 96, 105, 186, 222}) EXPECT_FALSE(IsKnownKey(code)) << code;
    EXPECT_EQ(GetKeyName(34), L"Page Down");
    EXPECT_EQ(GetKeyName(109), L"Subs");
}

TEST(Hotkey, SetCopiesEverySlot) {
    HotkeySet a;
    for (int i = 0; i < kHotkeySlotCount; ++i) EXPECT_TRUE(a[HotkeySlot(i)].empty());
    a[HotkeySlot::VideoRecordingActivation] = {17, 16, 44};
    a[HotkeySlot::FullScreenshot] = {16, 44};
    HotkeySet b = a;
    a[HotkeySlot::FullScreenshot].clear();
    EXPECT_EQ(b[HotkeySlot::FullScreenshot], (HotkeyCombination{16, 44}));
    EXPECT_EQ(b[HotkeySlot::VideoRecordingActivation], (HotkeyCombination{17, 16, 44}));
    EXPECT_NE(a, b);
    EXPECT_STREQ(HotkeySlotName(HotkeySlot::VideoRecordingByMouse), "VideoRecordingByMouse");
    EXPECT_STREQ(HotkeySlotName(HotkeySlot(8)), "");
}
