#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "core/Cvx.h"
#include "core/FullScreenGameTracker.h"
#include "../../native/core/LogCapture.h"
#include "TestWindow.h"

namespace {

// The helper exe is built next to this test, in its "wine" folder.
std::wstring HelperPath(const wchar_t* name) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + L"wine\\" + name;
}

class HelperProcess {
public:
    explicit HelperProcess(const std::wstring& commandLine) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        std::wstring line = commandLine;
        m_started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_info);
    }
    ~HelperProcess() {
        if (!m_started) return;
        TerminateProcess(m_info.hProcess, 0);
        WaitForSingleObject(m_info.hProcess, 5000);
        CloseHandle(m_info.hThread);
        CloseHandle(m_info.hProcess);
    }
    bool Started() const { return m_started; }

private:
    PROCESS_INFORMATION m_info{};
    bool m_started = false;
};

// Waits until the helper's window is in front.
HWND WaitForForeground(const wchar_t* caption) {
    for (int i = 0; i < 100; ++i) {
        HWND window = FindWindowW(nullptr, caption);
        if (window && GetForegroundWindow() == window) return window;
        TestWindow::Pump(50);
    }
    return FindWindowW(nullptr, caption);
}

TEST(FullScreenGameTracker, NothingRecentAtStartThenTenSecondsAfterAnUpdate) {
    FullScreenGameTracker tracker;
    EXPECT_FALSE(tracker.IsDisplayChangeRecent());
    LogCapture log;
    tracker.UpdateDisplayState();
    EXPECT_FALSE(tracker.m_displayChanged) << "the monitors are the same";
    EXPECT_TRUE(tracker.IsDisplayChangeRecent());
    EXPECT_FALSE(log.Has("FullScreenGameTracker: Display state change detected"));
}

TEST(FullScreenGameTracker, OwnFullScreenWindowDoesNotCount) {
    TestWindow own(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    ASSERT_EQ(GetForegroundWindow(), own.Handle());
    EXPECT_FALSE(FullScreenGameTracker::IsFullScreenAppActive());
}

TEST(FullScreenGameTracker, FullScreenWindowOfAnotherProcessCounts) {
    struct Case {
        const char* name;
        const wchar_t* arguments;
    };
    const Case kCases[] = {{"at the origin", L""}, {"moved off the origin", L" 25 15"}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        HelperProcess helper(L"\"" + HelperPath(L"core_fullscreen_window.exe") + L"\"" + c.arguments);
        ASSERT_TRUE(helper.Started()) << "build core_fullscreen_window first";
        HWND window = WaitForForeground(L"core fullscreen helper");
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(GetForegroundWindow(), window);
        LogCapture log;
        EXPECT_TRUE(FullScreenGameTracker::IsFullScreenAppActive());
        EXPECT_TRUE(log.Has("FullScreenGameTracker: Fullscreen app detected"));
    }
}

}  // namespace
