#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/SystemTray.h"

namespace {

class Owner : public CWnd {};

class SystemTrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(owner.CreateEx(0, CWnd::RegisterWndClass(0), L"tray owner", WS_POPUP, 0, 0, 10, 10, nullptr,
                                   nullptr));
    }
    Owner owner;
};

// Everything after the tray icon depends on it: the shell must take our icon.
TEST_F(SystemTrayTest, CreateAddsTheIconReportingToTheParent) {
    CSystemTray tray;
    ASSERT_TRUE(tray.Create(&owner, L"Brivane", LoadIconW(nullptr, IDI_APPLICATION)));
    EXPECT_FALSE(tray.IsHidden());
    EXPECT_FALSE(tray.IsRemoved());
    EXPECT_EQ(tray.IconData().hWnd, owner.m_hWnd);
    EXPECT_EQ(tray.IconData().uCallbackMessage, 0x800Au);
    EXPECT_STREQ(tray.IconData().szTip, L"Brivane");
    EXPECT_TRUE(tray.RemoveIcon());
    EXPECT_TRUE(tray.IsRemoved());
    EXPECT_TRUE(tray.RecreateIcon());
    EXPECT_FALSE(tray.IsRemoved());
}

TEST_F(SystemTrayTest, TooltipAndBalloonTextsAreCutToTheirFields) {
    CSystemTray tray;
    std::wstring longTip(200, L't');
    ASSERT_TRUE(tray.Create(&owner, longTip.c_str(), LoadIconW(nullptr, IDI_APPLICATION)));
    EXPECT_EQ(std::wstring(tray.IconData().szTip), std::wstring(127, L't'));

    std::wstring text(300, L'x');
    std::wstring title(100, L'y');
    ASSERT_TRUE(tray.ShowBalloon(text.c_str(), title.c_str(), NIIF_ERROR));
    EXPECT_EQ(tray.LastBalloonText(), std::wstring(255, L'x'));
    EXPECT_EQ(tray.LastBalloonTitle(), std::wstring(63, L'y'));
    EXPECT_EQ(tray.IconData().dwInfoFlags, static_cast<DWORD>(NIIF_ERROR));
    EXPECT_EQ(tray.IconData().szInfo[0], L'\0') << "a later modification must not show the balloon again";

    ASSERT_TRUE(tray.ShowBalloon(L"info", nullptr, NIIF_INFO));
    EXPECT_EQ(tray.LastBalloonTitle(), L"");
    EXPECT_EQ(tray.BalloonCount(), 2);
}

TEST_F(SystemTrayTest, TaskbarRestartBringsBackAShownIconButNotARemovedOne) {
    CSystemTray tray;
    ASSERT_TRUE(tray.Create(&owner, L"Brivane", LoadIconW(nullptr, IDI_APPLICATION)));
    // Explorer restarted: the shell lost the icon, and it is added again.
    NOTIFYICONDATAW lost = tray.IconData();
    lost.uFlags = 0;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &lost));
    SendMessageW(tray.m_hWnd, CSystemTray::TaskbarCreatedMessage(), 0, 0);
    EXPECT_FALSE(tray.IsHidden());
    EXPECT_FALSE(tray.IsShowPending());
    NOTIFYICONDATAW probe = tray.IconData();
    probe.uFlags = NIF_TIP;
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the shell has the icon again";
    // A work-area change while the icon is there keeps it shown.
    SendMessageW(tray.m_hWnd, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    EXPECT_FALSE(tray.IsHidden());
    // Removed on purpose (Exit, quit): it stays away.
    ASSERT_TRUE(tray.RemoveIcon());
    SendMessageW(tray.m_hWnd, CSystemTray::TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(tray.IsHidden());
    EXPECT_TRUE(tray.IsRemoved());
}

}  // namespace
