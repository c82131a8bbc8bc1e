#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "classlib/Menu.h"
#include "classlib/WinApp.h"
#include "classlib/WorkerThread.h"
#include "classlib/Wnd.h"

namespace {

constexpr UINT kThreadMessage = WM_APP + 78;

class RecordingApp : public CWinApp {
public:
    bool OnThreadMessage(const MSG& msg) override {
        if (msg.message != kThreadMessage) return false;
        received.push_back(static_cast<int>(msg.wParam));
        return true;
    }
    std::vector<int> received;
};

class ThrowingWnd : public CWnd {
public:
    int handled = 0;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_USER + 1) throw std::runtime_error("handler failed");
        if (msg == WM_USER + 2) return ++handled;
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

TEST(WndTest, ExceptionInWindowProcIsCaughtAndTheWindowLivesOn) {
    ThrowingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, CWnd::RegisterWndClass(0), L"throwing", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    EXPECT_EQ(CWnd::FromHandle(wnd.m_hWnd), &wnd);
    // The catch-all falls back to the default handling, which returns 0 for WM_USER+n.
    EXPECT_EQ(wnd.Send(WM_USER + 1), 0);
    EXPECT_EQ(wnd.Send(WM_USER + 2), 1);
    HWND hwnd = wnd.m_hWnd;
    EXPECT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandle(hwnd), nullptr);
}

struct MenuWatch {
    DWORD thread;
    std::atomic<bool> sawMenu{false};
};

UINT PostWhileMenuOpen(void* param) {
    auto* watch = static_cast<MenuWatch*>(param);
    for (int i = 0; i < 200; i++) {
        Sleep(20);
        HWND menu = FindWindowW(L"#32768", nullptr);
        if (menu && IsWindowVisible(menu)) {
            watch->sawMenu = true;
            PostThreadMessageW(watch->thread, kThreadMessage, 5, 0);
            Sleep(200);
            // Closes the menu like a click elsewhere would.
            PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
            return 0;
        }
    }
    return 0;
}

TEST(WndTest, ThreadMessageWhileAPopupMenuIsOpenReachesTheApplication) {
    RecordingApp app;
    InstallThreadMessageFilter();
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, CWnd::RegisterWndClass(0), L"menu owner", WS_POPUP | WS_VISIBLE, 100, 100, 50, 50,
                               nullptr, nullptr));
    SetForegroundWindow(owner.m_hWnd);
    HMENU popup = CreatePopupMenu();
    AppendMenuW(popup, MF_STRING, 1, L"item");
    MenuWatch watch;
    watch.thread = GetCurrentThreadId();
    ASSERT_TRUE(AfxBeginThread(&PostWhileMenuOpen, &watch));
    TrackPopupMenuAt(popup, TPM_LEFTBUTTON, POINT{120, 120}, owner.m_hWnd);
    // The menu may close before the worker's post is read: give the queue a pass.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) PumpMessage(msg, nullptr);
    DestroyMenu(popup);
    ASSERT_TRUE(watch.sawMenu);
    EXPECT_EQ(app.received, (std::vector<int>{5}));
}

}  // namespace
