#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "classlib/FileDialog.h"
#include "classlib/LayoutManager.h"
#include "classlib/WorkerThread.h"

namespace {

struct Seen {
    std::atomic<bool> found{false};
    RECT rect = {};
};

// Finds the open dialog of this process, notes where it is and cancels it.
UINT WatchAndCancel(void* param) {
    auto* seen = static_cast<Seen*>(param);
    for (int i = 0; i < 300; i++) {
        Sleep(20);
        HWND dialog = FindWindowW(L"#32770", nullptr);
        DWORD pid = 0;
        if (dialog) GetWindowThreadProcessId(dialog, &pid);
        if (dialog && pid == GetCurrentProcessId() && IsWindowVisible(dialog)) {
            Sleep(200);
            GetWindowRect(dialog, &seen->rect);
            seen->found = true;
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return 0;
        }
    }
    return 0;
}

TEST(FileDialogTest, CenteredFileDialogOpensInTheMiddleAndCancelGivesNoPath) {
    Seen seen;
    ASSERT_TRUE(AfxBeginThread(&WatchAndCancel, &seen));
    CCenteredFileDialog dialog(true, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NONETWORKBUTTON,
                               nullptr, nullptr);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.GetPathName(), L"");
    ASSERT_TRUE(seen.found);
    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    int dx = (seen.rect.left + seen.rect.right) / 2 - (area.left + area.right) / 2;
    int dy = (seen.rect.top + seen.rect.bottom) / 2 - (area.top + area.bottom) / 2;
    EXPECT_LE(abs(dx), 2);
    EXPECT_LE(abs(dy), 2);
}

}  // namespace

namespace {

struct FixedPlace : ILayoutManager {
    POINT GetPosition(HWND) override { return POINT{4, 4}; }
    float GetOpacity(HWND) override { return 1.0f; }
};

struct SeenTopmost : Seen {
    std::atomic<bool> topmost{false};
};

UINT WatchTopmostAndCancel(void* param) {
    auto* seen = static_cast<SeenTopmost*>(param);
    for (int i = 0; i < 300; i++) {
        Sleep(20);
        HWND dialog = FindWindowW(L"#32770", nullptr);
        DWORD pid = 0;
        if (dialog) GetWindowThreadProcessId(dialog, &pid);
        if (dialog && pid == GetCurrentProcessId() && IsWindowVisible(dialog)) {
            Sleep(200);
            GetWindowRect(dialog, &seen->rect);
            seen->topmost = (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            seen->found = true;
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return 0;
        }
    }
    return 0;
}

TEST(FileDialogTest, PositionedFileDialogStandsWhereItsLayoutSaysTopmost) {
    SeenTopmost seen;
    ASSERT_TRUE(AfxBeginThread(&WatchTopmostAndCancel, &seen));
    FixedPlace place;
    CPositionedFileDlg dialog(false, nullptr, L"Screenshot.png", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY,
                              L"Jpeg Files (*.jpg)|*.jpg|PNG Files (*.png)|*.png|", nullptr);
    dialog.m_layout = &place;
    dialog.SetFilterIndex(2);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.rect.left, 4);
    EXPECT_EQ(seen.rect.top, 4);
    EXPECT_TRUE(seen.topmost);
}

TEST(FileDialogTest, PositionedFileDialogWithoutLayoutIsNotMoved) {
    SeenTopmost seen;
    ASSERT_TRUE(AfxBeginThread(&WatchTopmostAndCancel, &seen));
    CPositionedFileDlg dialog(false, nullptr, nullptr, OFN_HIDEREADONLY, nullptr, nullptr);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ASSERT_TRUE(seen.found);
    EXPECT_FALSE(seen.rect.left == 4 && seen.rect.top == 4);
    EXPECT_FALSE(seen.topmost);
}

}  // namespace
