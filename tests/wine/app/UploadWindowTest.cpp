// The upload's window and the main dialog's handling of an upload's messages: the
// sending is replaced, the test plays the worker through the real UploadHandler.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/MainDlg.h"
#include "app/ProgressDlg.h"
#include "app/UploadHandler.h"
#include "settings/SettingsManager.h"
#include "tests/wine/app/MainDlgScript.h"

namespace {

constexpr int kNoStatus = 0x60000;   // the upload error of a reply without a status

// A small file to hand over as `upload "<path>"`.
std::wstring MakeFileToUpload() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    std::wstring path = std::wstring(folder) + L"upload window test.txt";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, "twelve bytes", 12, &written, nullptr);
    CloseHandle(file);
    return path;
}

// Posts WM_APP_UPLOAD_FILE once; the upload then runs its modal loop inside the main
// dialog's message handling while the script goes on.
TestMainDlg::Step HandOver(const std::wstring& path) {
    return [path](TestMainDlg& d) {
        d.Post(WM_APP_UPLOAD_FILE, 0, reinterpret_cast<LPARAM>(new std::wstring(path)));
        return true;
    };
}

// Waits until the upload handed to the replaced sender is running with its window.
TestMainDlg::Step UntilRunning(std::shared_ptr<UploadHandler>& handler, bool visible) {
    return [&handler, visible](TestMainDlg& d) {
        return handler && d.Uploads().Handler() == handler && d.Uploads().ProgressDlg() && d.Uploads().ProgressDlg()->m_hWnd &&
               (IsWindowVisible(d.Uploads().ProgressDlg()->m_hWnd) != FALSE) == visible;
    };
}

TestMainDlg::Step UntilPosition(int percent) {
    return [percent](TestMainDlg& d) { return d.Uploads().ProgressDlg() && d.Uploads().ProgressDlg()->Position() == percent; };
}

TestMainDlg::Step UntilNoUpload() {
    return [](TestMainDlg& d) { return !d.Uploads().Handler() && !d.Uploads().ProgressDlg(); };
}

TestMainDlg::Step Do(std::function<void(TestMainDlg&)> action) {
    return [action](TestMainDlg& d) {
        action(d);
        return true;
    };
}

class UploadWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        SettingsManager& settings = SettingsManager::Instance();
        settings.SetSilentMode(false);
        settings.SetMaxUploadFileSize(1000000);
        path = MakeFileToUpload();
    }
    void TearDown() override {
        SettingsManager::Instance().SetSilentMode(false);
        DeleteFileW(path.c_str());
    }

    // Sends the upload handed over through the test's hands: every handler is kept.
    void Capture(TestMainDlg& dlg) {
        dlg.startUpload = [this](std::shared_ptr<UploadHandler> h) {
            handlers.push_back(h);
            (handlers.size() == 1 ? first : second) = h;
            return true;
        };
    }

    Recorded r;
    DialogTemplate tmpl = MainTemplate();
    std::wstring path;
    std::vector<std::shared_ptr<UploadHandler>> handlers;
    std::shared_ptr<UploadHandler> first, second;
};

TEST_F(UploadWindowTest, TemplateSizeComesFromItsDialogUnits) {
    SIZE size = GetDialogTemplateSize(IDD_PROGRESS);
    // 200 x 44 dialog units: several hundred pixels wide, a few dozen high.
    EXPECT_GT(size.cx, 200);
    EXPECT_GT(size.cy, 44);
    EXPECT_GT(size.cx, 3 * size.cy);
    SIZE none = GetDialogTemplateSize(4321);
    EXPECT_EQ(none.cx, 0);
    EXPECT_EQ(none.cy, 0);
}

TEST_F(UploadWindowTest, WindowSwallowsEnterCancelLeavesTheLinkAndLateMessagesMissTheNextUpload) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    Capture(dlg);
    RECT window = {}, work = {};
    SIZE expected = GetDialogTemplateSize(IDD_PROGRESS);
    LONG_PTR exStyle = 0;
    bool openAfterEnter = false, secondOpenAfterStale = false;
    int secondPositionAfterStale = -1, balloonsAfterStale = -1, positionAfterRestart = -1;
    INT_PTR stillRunning = 0;
    DWORD endedAt = 0, closedAfter = 0;
    bool shownAfterEnd = false;
    int positionAfterEnd = -1;
    dlg.steps = {
        HandOver(path),
        UntilRunning(first, true),
        UntilPosition(5),
        Do([&](TestMainDlg& d) {
            GetWindowRect(d.Uploads().ProgressDlg()->m_hWnd, &window);
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
            exStyle = GetWindowLongPtrW(d.Uploads().ProgressDlg()->m_hWnd, GWL_EXSTYLE);
            first->OnProgress(40);
        }),
        UntilPosition(40),
        // A new attempt's meter starts at 0 again: the bar does not go back.
        Do([&](TestMainDlg&) {
            first->OnProgress(0);
            first->OnProgress(12);
        }),
        Wait(200),
        Do([&](TestMainDlg& d) { positionAfterRestart = d.Uploads().ProgressDlg()->Position(); }),
        // Enter on the focused Cancel button would press it: the window swallows it.
        Do([&](TestMainDlg& d) {
            HWND cancel = GetDlgItem(d.Uploads().ProgressDlg()->m_hWnd, IDCANCEL);
            PostMessageW(cancel, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageW(d.Uploads().ProgressDlg()->m_hWnd, WM_KEYDOWN, VK_RETURN, 0x001C0001);
        }),
        Wait(300),
        Do([&](TestMainDlg& d) {
            openAfterEnter = d.Uploads().ProgressDlg() && IsWindowVisible(d.Uploads().ProgressDlg()->m_hWnd);
            if (d.Uploads().ProgressDlg()) PostMessageW(GetDlgItem(d.Uploads().ProgressDlg()->m_hWnd, IDCANCEL), BM_CLICK, 0, 0);
        }),
        UntilNoUpload(),
        // The next upload; then the cancelled one's worker ends late.
        HandOver(path),
        UntilRunning(second, true),
        UntilPosition(5),
        Do([&](TestMainDlg&) {
            first->OnProgress(70);
            first->OnError(kNoStatus);
            first->OnFinished(true);
        }),
        Wait(1300),
        Do([&](TestMainDlg& d) {
            secondOpenAfterStale = d.Uploads().ProgressDlg() && IsWindowVisible(d.Uploads().ProgressDlg()->m_hWnd);
            secondPositionAfterStale = d.Uploads().ProgressDlg() ? d.Uploads().ProgressDlg()->Position() : -1;
            balloonsAfterStale = d.TrayIcon().BalloonCount();
            stillRunning = d.Uploads().Handler() == second;
            second->OnProgress(60);
            second->OnFinished(true);
            endedAt = GetTickCount();
        }),
        Wait(500),
        Do([&](TestMainDlg& d) {
            shownAfterEnd = d.Uploads().ProgressDlg() && IsWindowVisible(d.Uploads().ProgressDlg()->m_hWnd);
            positionAfterEnd = d.Uploads().ProgressDlg() ? d.Uploads().ProgressDlg()->Position() : -1;
        }),
        UntilNoUpload(),
        Do([&](TestMainDlg&) { closedAfter = GetTickCount() - endedAt; }),
        Wait(200),
    };
    dlg.Run(20000);

    ASSERT_EQ(handlers.size(), 2u);
    EXPECT_NE(first->Sequence(), second->Sequence());
    // Topmost, template size, at the work area's bottom right (4 pixels in).
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_EQ(window.right - window.left, expected.cx);
    EXPECT_EQ(window.bottom - window.top, expected.cy);
    EXPECT_EQ(window.left, work.right - expected.cx - 4);
    EXPECT_EQ(window.top, work.bottom - expected.cy);
    EXPECT_EQ(positionAfterRestart, 40);
    EXPECT_TRUE(openAfterEnter) << "Enter closed the window";
    EXPECT_TRUE(secondOpenAfterStale) << "the cancelled upload's finish closed the next one's window";
    EXPECT_EQ(secondPositionAfterStale, 5) << "the cancelled upload's progress moved the next one's bar";
    EXPECT_EQ(balloonsAfterStale, 0) << "the cancelled upload's error was shown";
    EXPECT_TRUE(stillRunning);
    // The ended upload's window stays about a second with the full bar.
    EXPECT_TRUE(shownAfterEnd);
    EXPECT_EQ(positionAfterEnd, 100);
    EXPECT_GE(closedAfter, 900u);
    EXPECT_LE(closedAfter, 2500u);
    // Cancel opened nothing; the second upload's link was opened with "?a".
    ASSERT_EQ(r.urls.size(), 1u);
    EXPECT_EQ(r.urls[0].substr(r.urls[0].size() - 2), L"?a");
}

TEST_F(UploadWindowTest, RunningUploadsErrorIsShownAndNoLinkOpened) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    Capture(dlg);
    dlg.steps = {
        HandOver(path),
        UntilRunning(first, true),
        Do([&](TestMainDlg&) {
            first->OnError(0x70007);
            first->OnFinished(false);
        }),
        UntilNoUpload(),
        [](TestMainDlg& d) { return d.TrayIcon().BalloonCount() == 1; },
    };
    dlg.Run(10000);
    std::wstring text = dlg.TrayIcon().LastBalloonText();
    EXPECT_NE(text.find(L" Code: 0x070007"), std::wstring::npos) << std::string(text.begin(), text.end());
    EXPECT_TRUE(r.urls.empty());
}

TEST_F(UploadWindowTest, SilentModeRunsTheLoopWithoutWindowBalloonOrBrowser) {
    for (bool ok : {true, false}) {
        SCOPED_TRACE(ok ? "success" : "failure");
        r.urls.clear();
        r.events.clear();
        handlers.clear();
        first.reset();
        SettingsManager::Instance().SetSilentMode(true);
        TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
        Capture(dlg);
        int ticksDuringUpload = 0;
        bool everVisible = false;
        dlg.steps = {
            HandOver(path),
            UntilRunning(first, false),
            // The UI thread keeps running its timers while the hidden loop runs.
            [&](TestMainDlg& d) {
                everVisible = everVisible || (d.Uploads().ProgressDlg() && IsWindowVisible(d.Uploads().ProgressDlg()->m_hWnd));
                return ++ticksDuringUpload >= 10;
            },
            Do([&](TestMainDlg& d) {
                everVisible = everVisible || (d.Uploads().ProgressDlg() && IsWindowVisible(d.Uploads().ProgressDlg()->m_hWnd));
                first->OnProgress(50);
                if (!ok) first->OnError(kNoStatus);
                first->OnFinished(ok);
            }),
            UntilNoUpload(),
            Wait(1300),
        };
        dlg.Run(10000);
        EXPECT_EQ(handlers.size(), 1u);
        EXPECT_FALSE(everVisible);
        EXPECT_EQ(ticksDuringUpload, 10);
        EXPECT_TRUE(r.urls.empty());
        EXPECT_EQ(dlg.TrayIcon().BalloonCount(), 0);
    }
}

}  // namespace
