#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/EditorEnvironment.h"
#include "settings/SettingsManager.h"

namespace {

RECT SystemVirtualScreen() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

void ExpectRect(const RECT& actual, const RECT& expected) {
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);
}

// The program's editor reads and keeps its colour, save folder and image type in the settings.
TEST(EditorEnvironment, TheEditorsSettingsAreTheProgramsSettings) {
    SettingsManager& settings = SettingsManager::Instance();
    const COLORREF colour = settings.GetDrawColor();
    const std::wstring folder = settings.GetScreenshotsLastSavePath();
    const int type = settings.GetImageTypeId();

    SelectRegionEnvironment env = MakeEditorEnvironment();
    settings.SetDrawColor(RGB(1, 2, 3));
    EXPECT_EQ(env.drawColor(), RGB(1, 2, 3));
    env.setDrawColor(RGB(40, 50, 60));
    EXPECT_EQ(settings.GetDrawColor(), RGB(40, 50, 60));

    env.setLastSaveFolder(L"C:\\shots\\kept");
    EXPECT_EQ(settings.GetScreenshotsLastSavePath(), L"C:\\shots\\kept");
    settings.SetScreenshotsLastSavePath(L"D:\\other");
    EXPECT_EQ(env.lastSaveFolder(), L"D:\\other");

    for (int id : {1, 2}) {
        settings.SetImageTypeId(id);
        EXPECT_EQ(env.imageTypeId(), id);
    }
    ExpectRect(env.virtualScreen(), SystemVirtualScreen());
    ASSERT_TRUE(env.isKeyDown);
    ASSERT_TRUE(env.readKey);
    ASSERT_TRUE(env.postEvent);

    settings.SetDrawColor(colour);
    settings.SetScreenshotsLastSavePath(folder);
    settings.SetImageTypeId(type);
}

// An environment a test leaves mostly empty still answers every question the dialog asks.
TEST(EditorEnvironment, EmptyEntriesGetTheirFallbacksAndSetOnesStay) {
    SelectRegionEnvironment empty = SelectRegionEnvironment::WithFallbacks({});
    EXPECT_FALSE(empty.isDrawModeHotkeyHeld());
    EXPECT_EQ(empty.drawColor(), RGB(255, 0, 0));
    EXPECT_EQ(empty.lastSaveFolder(), L"");
    EXPECT_EQ(empty.imageTypeId(), 0);
    ExpectRect(empty.virtualScreen(), SystemVirtualScreen());
    empty.setDrawColor(RGB(1, 1, 1));
    empty.setLastSaveFolder(L"C:\\nowhere");
    empty.postEvent(L"SelectRegion", L"Cancel", L"");
    // readKey and onFirstPaint stay optional: the key timer then asks isKeyDown.
    EXPECT_FALSE(empty.readKey);
    EXPECT_FALSE(empty.onFirstPaint);

    SelectRegionEnvironment set;
    set.isDrawModeHotkeyHeld = [] { return true; };
    set.drawColor = [] { return RGB(0, 0, 255); };
    set.virtualScreen = [] { return RECT{-1920, 0, 1920, 1080}; };
    set.imageTypeId = [] { return 1; };
    set = SelectRegionEnvironment::WithFallbacks(std::move(set));
    EXPECT_TRUE(set.isDrawModeHotkeyHeld());
    EXPECT_EQ(set.drawColor(), RGB(0, 0, 255));
    ExpectRect(set.virtualScreen(), RECT{-1920, 0, 1920, 1080});
    EXPECT_EQ(set.imageTypeId(), 1);
}

}  // namespace
