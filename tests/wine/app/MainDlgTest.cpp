#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <thread>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/MainDlg.h"
#include "app/ProgressDlg.h"
#include "app/VideoCaptureWindows.h"
#include "resources/resource.h"
#include "settings/SettingsManager.h"
#include "tests/wine/app/MainDlgScript.h"

namespace {

void CALLBACK CloseStandInBox(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND box = FindWindowW(L"#32770", L"send file stand-in");
    if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
}

class MainDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
        InitCommonControlsEx(&controls);
        SettingsManager::Instance().SetSilentMode(false);
        SettingsManager::Instance().SetStorageType(6);
        SettingsManager::Instance().SetVideoSaveType(1);
    }
    Recorded r;
    DialogTemplate tmpl = MainTemplate();
};

TEST_F(MainDlgTest, StartsWithTrayIconAndCleanupThreads) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    bool started = false, trayShown = false;
    dlg.steps = {[&](TestMainDlg& d) {
        started = d.IsStarted();
        trayShown = !d.TrayIcon().IsRemoved();
        return true;
    }};
    dlg.Run();
    EXPECT_TRUE(started) << "the tray icon must exist under Wine, or nothing else starts";
    EXPECT_TRUE(trayShown);
    EXPECT_EQ(r.emptied, (std::vector<std::wstring>{L"C:\\ProgramData\\brivane\\tmp"}));
    EXPECT_EQ(r.pruned, (std::vector<std::wstring>{L"C:\\users\\me\\AppData\\Local\\brivane\\log"}));
}

TEST_F(MainDlgTest, FirstInstanceCommandLine) {
    struct Case {
        const char* name;
        const wchar_t* arguments;
        std::vector<UINT> posted;
        std::vector<std::wstring> events;
        bool windowShown;
        bool tmpEmptied;
    };
    const Case cases[] = {
        {"plain start", L"", {}, {}, true, true},
        {"quiet start", L" -s", {}, {}, false, true},
        {"region", L" -r", {WM_APP_REGION_SCREENSHOT}, {L"Screenshot.Region|Launch on Cmd|Server + Local"}, false, false},
        {"full screen", L" -f", {WM_APP_FULL_SCREENSHOT}, {L"Screenshot.Fullscreen|Launch on Cmd|Server + Local"}, false,
         false},
        {"video", L" -v", {WM_APP_MAKE_VIDEO}, {L"Video|Launch on Cmd|Local"}, false, false},
        {"quit", L" -u", {WM_APP_QUIT}, {}, false, false},
        {"upload", L" upload \"C:\\my files\\a b.png\"", {WM_APP_UPLOAD_FILE}, {L"File|Launch on Cmd|"}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorded rec;
        MainDlgEnvironment env = TestEnvironment(rec);
        env.commandLine += c.arguments;
        TestMainDlg dlg(tmpl.Get(), std::move(env));
        bool shown = false;
        dlg.steps = {Wait(100), [&](TestMainDlg& d) {
                         shown = d.IsWindowVisible() != FALSE;
                         return true;
                     }};
        dlg.Run();
        EXPECT_EQ(dlg.privateMessages, c.posted);
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(shown, c.windowShown);
        EXPECT_EQ(rec.emptied.size(), c.tmpEmptied ? 1u : 0u);
        EXPECT_EQ(rec.pruned.size(), 1u) << "old logs are pruned at every start";
        if (c.posted == std::vector<UINT>{WM_APP_UPLOAD_FILE}) {
            EXPECT_EQ(dlg.uploadPaths, (std::vector<std::wstring>{L"C:\\my files\\a b.png"}));
        }
    }
}

TEST_F(MainDlgTest, CloseRequestFileEndsTheProcessWithinAboutATenthOfASecond) {
    struct Case {
        const char* name;
        std::wstring marker;
    };
    const Case cases[] = {{"user temp folder", L"C:\\users\\me\\Temp\\cvx_do_close"},
                          {"local data folder", L"C:\\users\\me\\AppData\\Local\\brivane\\cvx_do_close"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorded rec;
        TestMainDlg dlg(tmpl.Get(), TestEnvironment(rec));
        DWORD placed = 0, seen = 0;
        dlg.steps = {Wait(300), [&](TestMainDlg&) {
                         EXPECT_TRUE(rec.exits.empty()) << "no marker, no exit";
                         rec.existing.insert(c.marker);
                         placed = GetTickCount();
                         return true;
                     },
                     [&](TestMainDlg&) {
                         if (rec.exits.empty()) return false;
                         seen = GetTickCount();
                         return true;
                     }};
        dlg.Run();
        ASSERT_EQ(rec.exits, (std::vector<unsigned>{0}));
        EXPECT_LE(seen - placed, 250u);
    }
}

TEST_F(MainDlgTest, TimersKeepRunningWhileASystemModalLoopIsOnTheStack) {
    // The send-file dialog is a system modal loop inside a menu handler; a close request
    // that appears meanwhile still ends the process.
    bool exitedInsideDialog = false;
    MainDlgEnvironment env = TestEnvironment(r);
    env.chooseFile = [&](HWND owner) {
        r.existing.insert(L"C:\\users\\me\\Temp\\cvx_do_close");
        SetTimer(nullptr, 0, 1000, &CloseStandInBox);
        MessageBoxW(owner, L"choose", L"send file stand-in", MB_OK);
        exitedInsideDialog = !r.exits.empty();
        return std::wstring();
    };
    TestMainDlg dlg(tmpl.Get(), std::move(env));
    dlg.steps = {PostStep(WM_COMMAND, ID_TRAY_SEND_FILE, 0),
                 [&](TestMainDlg& d) { return !d.uploadPaths.empty(); }};
    dlg.Run();
    EXPECT_TRUE(exitedInsideDialog);
}

TEST_F(MainDlgTest, MonitorChangeReinitialisesTheCoreOnlyAfterTheRecordingEnded) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    size_t cancelsDuringRecording = 0;
    std::vector<std::string> callsDuringRecording;
    dlg.steps = {
        [&](TestMainDlg& d) {
            d.Recording().Active() = true;
            r.monitors = 2;
            return true;
        },
        Wait(2300),
        [&](TestMainDlg& d) {
            for (UINT m : d.privateMessages) cancelsDuringRecording += m == WM_APP_VIDEO_CANCEL;
            callsDuringRecording = r.coreCalls;
            d.Recording().Active() = false;   // the recording thread finished
            return true;
        },
        [&](TestMainDlg&) { return r.coreCalls.size() >= 2; },
    };
    dlg.Run();
    EXPECT_EQ(cancelsDuringRecording, 1u);
    EXPECT_TRUE(callsDuringRecording.empty()) << "no re-initialisation under a live recorder";
    EXPECT_EQ(r.coreCalls, (std::vector<std::string>{"reinit", "reopen log"}));
}

TEST_F(MainDlgTest, DisplayAndDeviceChangesStopOnlyARecording) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    std::vector<UINT> whileSelecting;
    dlg.steps = {
        [&](TestMainDlg& d) {
            // A region selection sets the busy flag, but no video runs.
            d.CaptureBusy() = true;
            SendMessageW(d.m_hWnd, WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 1024));
            SendMessageW(d.m_hWnd, WM_DEVICECHANGE, 7, 0);
            return true;
        },
        Wait(100),
        [&](TestMainDlg& d) {
            whileSelecting = d.privateMessages;
            d.Recording().Active() = true;
            EXPECT_EQ(SendMessageW(d.m_hWnd, WM_DEVICECHANGE, 7, 0), TRUE);
            return true;
        },
        Wait(100),
    };
    dlg.Run();
    EXPECT_FALSE(Contains(whileSelecting, WM_APP_VIDEO_STOP));
    EXPECT_FALSE(Contains(whileSelecting, WM_APP_VIDEO_BROKEN_BY_FULLSCREEN));
    EXPECT_TRUE(Contains(dlg.privateMessages, WM_APP_VIDEO_STOP));
    EXPECT_EQ(r.events, (std::vector<std::wstring>{L"Video|Save OnDeviceChange|"}));
}

TEST_F(MainDlgTest, DisplayChangeWithANewMonitorSetStopsTheRecordingWithTheHint) {
    struct Case {
        const char* name;
        bool recording;
        std::vector<UINT> posted;
        std::vector<std::wstring> events;
    };
    const Case cases[] = {
        // The hint shows the settings window and a warning box (closed here).
        {"recording", true, {WM_APP_VIDEO_STOP, WM_APP_VIDEO_BROKEN_BY_FULLSCREEN, WM_APP_SHOW_SETTINGS},
         {L"Video|OnDeviceChange Stop|"}},
        // Only a region selection runs: no stop, no warning about a video.
        {"selecting a region", false, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorded rec;
        TestMainDlg dlg(tmpl.Get(), TestEnvironment(rec));
        dlg.steps = {[&](TestMainDlg& d) {
                         d.CaptureBusy() = true;
                         d.Recording().Active() = c.recording;
                         rec.monitorMap[L"\\\\.\\DISPLAY2"] = {1920, 1080};
                         d.privateMessages.clear();
                         SendMessageW(d.m_hWnd, WM_DISPLAYCHANGE, 32, MAKELPARAM(3200, 1080));
                         return true;
                     },
                     Wait(100),
                     [&](TestMainDlg& d) {
                         HWND box = FindMessageBox(d.m_hWnd);
                         if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
                         return box != nullptr || !c.recording;
                     },
                     Wait(100)};
        dlg.Run();
        EXPECT_EQ(dlg.privateMessages, c.posted);
        EXPECT_EQ(rec.events, c.events);
    }
}

TEST_F(MainDlgTest, NotificationBurstShowsOnlyTheLastBalloonAfterOneSecond) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    DWORD queued = 0, shownAt = 0;
    int countAfter = -1;
    dlg.steps = {
        [&](TestMainDlg& d) {
            queued = GetTickCount();
            d.ShowNotification(L"first title", L"first", true);
            return true;
        },
        Wait(500),
        [&](TestMainDlg& d) {
            d.ShowNotification(L"second title", L"second", false);
            return true;
        },
        [&](TestMainDlg& d) {
            if (d.TrayIcon().BalloonCount() == 0) return false;
            shownAt = GetTickCount();
            return true;
        },
        Wait(1500),
        [&](TestMainDlg& d) {
            countAfter = d.TrayIcon().BalloonCount();
            return true;
        },
    };
    dlg.Run();
    EXPECT_EQ(countAfter, 1);
    EXPECT_EQ(dlg.TrayIcon().LastBalloonText(), L"second");
    EXPECT_EQ(dlg.TrayIcon().LastBalloonTitle(), L"second title");
    EXPECT_EQ(dlg.TrayIcon().IconData().dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_GE(shownAt - queued, 900u) << "shown one second after the first was queued";
    EXPECT_LE(shownAt - queued, 1600u);
}

TEST_F(MainDlgTest, SilentModeShowsNoBalloonErrorsIncluded) {
    SettingsManager::Instance().SetSilentMode(true);
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    dlg.steps = {
        [&](TestMainDlg& d) {
            d.Post(WM_APP_ERROR, 137, 0);
            d.Post(WM_APP_INFO, 182, 0);
            d.ShowNotification(L"", L"direct", false);
            return true;
        },
        Wait(1500),
    };
    dlg.Run();
    SettingsManager::Instance().SetSilentMode(false);
    EXPECT_EQ(dlg.TrayIcon().BalloonCount(), 0);
}

TEST_F(MainDlgTest, ErrorAndInfoMessagesBecomeBalloons) {
    struct Case {
        const char* name;
        UINT msg;
        DWORD flags;
    };
    const Case cases[] = {{"error", WM_APP_ERROR, NIIF_ERROR}, {"info", WM_APP_INFO, NIIF_INFO}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorded rec;
        TestMainDlg dlg(tmpl.Get(), TestEnvironment(rec));
        dlg.steps = {PostStep(c.msg, 137, 0),
                     [&](TestMainDlg& d) { return d.TrayIcon().BalloonCount() == 1; }};
        dlg.Run();
        EXPECT_EQ(dlg.TrayIcon().IconData().dwInfoFlags, c.flags);
    }
}

TEST_F(MainDlgTest, TrayClicksStartARegionShotOrStopTheRecording) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    std::vector<UINT> idle, recording;
    dlg.steps = {
        [&](TestMainDlg& d) {
            d.Post(WM_APP_TRAY_NOTIFY, 0, WM_LBUTTONUP);
            d.Post(WM_APP_TRAY_NOTIFY, 0, WM_MOUSEMOVE);
            return true;
        },
        Wait(100),
        [&](TestMainDlg& d) {
            idle = d.privateMessages;
            d.privateMessages.clear();
            // The frame of a running recording exists.
            d.Recording().CaptureArea() = reinterpret_cast<CVideoCaptureAreaDialog*>(&d);
            d.Post(WM_APP_TRAY_NOTIFY, 0, WM_LBUTTONUP);
            d.Post(WM_APP_TRAY_NOTIFY, 0, WM_RBUTTONUP);
            return true;
        },
        Wait(100),
        [&](TestMainDlg& d) {
            recording = d.privateMessages;
            d.Recording().CaptureArea() = nullptr;
            return true;
        },
    };
    dlg.Run();
    EXPECT_EQ(idle, (std::vector<UINT>{WM_APP_REGION_SCREENSHOT}));
    EXPECT_EQ(recording, (std::vector<UINT>{WM_APP_VIDEO_STOP, WM_APP_VIDEO_STOP}));
    EXPECT_EQ(r.events, (std::vector<std::wstring>{L"Screenshot.Region|Launch on Tray with Left Mouse|Server + Local",
                                                  L"Video|Save In Tray|", L"Video|Save In Tray|"}));
}

TEST_F(MainDlgTest, TrayMenuCommands) {
    struct Case {
        const char* name;
        WORD command;
        std::vector<UINT> posted;
        std::vector<std::wstring> events;
    };
    const Case cases[] = {
        {"capture region", ID_TRAY_CAPTURE_REGION, {WM_APP_REGION_SCREENSHOT},
         {L"Screenshot.Region|Launch on Tray|Server + Local"}},
        {"capture full screen", ID_TRAY_CAPTURE_FULLSCREEN, {WM_APP_FULL_SCREENSHOT},
         {L"Screenshot.Fullscreen|Launch on Tray|Server + Local"}},
        {"capture video", ID_TRAY_CAPTURE_VIDEO, {WM_APP_MAKE_VIDEO}, {L"Video|Launch on Tray|Local"}},
        {"send file, cancelled", ID_TRAY_SEND_FILE, {WM_APP_UPLOAD_FILE}, {L"File|Launch on Tray|"}},
        {"my captures", ID_TRAY_MY_CAPTURES, {}, {L"History|Open|"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorded rec;
        TestMainDlg dlg(tmpl.Get(), TestEnvironment(rec));
        dlg.steps = {[&](TestMainDlg& d) {
                         d.privateMessages.clear();
                         d.Post(WM_COMMAND, c.command, 0);
                         return true;
                     },
                     Wait(100)};
        dlg.Run();
        EXPECT_EQ(dlg.privateMessages, c.posted);
        EXPECT_EQ(rec.events, c.events);
        if (c.command == ID_TRAY_SEND_FILE) {
            EXPECT_EQ(dlg.uploadPaths, (std::vector<std::wstring>{L""}));
        }
        if (c.command == ID_TRAY_MY_CAPTURES) {
            EXPECT_EQ(rec.urls, (std::vector<std::wstring>{SettingsManager::Instance().GetHistoryPageUrl()}));
        }
    }
}

TEST_F(MainDlgTest, MyCapturesAndSettingsDoNothingWhileAnUploadRuns) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    dlg.ShowWindowAllowed() = false;
    bool visible = true;
    dlg.steps = {
        [&](TestMainDlg& d) {
            d.Uploads().Handler() = std::shared_ptr<UploadHandler>(reinterpret_cast<UploadHandler*>(&d), [](UploadHandler*) {});
            d.Post(WM_COMMAND, ID_TRAY_MY_CAPTURES, 0);
            d.Post(WM_COMMAND, ID_TRAY_SETTINGS, 0);
            d.Post(WM_APP_SHOW_SETTINGS, 0, 0);
            return true;
        },
        Wait(100),
        [&](TestMainDlg& d) {
            visible = d.IsWindowVisible() != FALSE;
            d.Uploads().Handler().reset();
            return true;
        },
    };
    dlg.Run();
    EXPECT_TRUE(r.events.empty());
    EXPECT_TRUE(r.urls.empty());
    EXPECT_FALSE(visible);
}

TEST_F(MainDlgTest, SilentModeToggleFromTheTray) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    bool afterFirst = false, offShownAfterFirst = true;
    dlg.steps = {
        PostStep(WM_COMMAND, ID_TRAY_SILENT_MODE, 0),
        Wait(50),
        [&](TestMainDlg& d) {
            afterFirst = SettingsManager::Instance().GetSilentMode();
            offShownAfterFirst = IsWindowVisible(d.GetDlgItem(IDC_GAME_MODE_OFF)) != FALSE;
            d.Post(WM_COMMAND, ID_TRAY_SILENT_MODE, 0);
            return true;
        },
        Wait(50),
    };
    dlg.Run();
    EXPECT_TRUE(afterFirst);
    EXPECT_FALSE(offShownAfterFirst);
    EXPECT_FALSE(SettingsManager::Instance().GetSilentMode());
    EXPECT_EQ(r.events, (std::vector<std::wstring>{L"Application|Set Game Mode in Tray|",
                                                  L"Application|Unset Game Mode in Tray|"}));
}

TEST_F(MainDlgTest, ExitSendsTheEventRemovesTheIconAndExits) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    bool removed = false;
    dlg.steps = {PostStep(WM_COMMAND, ID_TRAY_EXIT, 0),
                 [&](TestMainDlg& d) {
                     if (r.exits.empty()) return false;
                     removed = d.TrayIcon().IsRemoved();
                     return true;
                 }};
    dlg.Run();
    EXPECT_EQ(r.events, (std::vector<std::wstring>{L"Application|Exit|"}));
    EXPECT_TRUE(removed);
    EXPECT_EQ(r.exits, (std::vector<unsigned>{0}));
}

TEST_F(MainDlgTest, QuitMessageRemovesTheIconAndExitsWithoutEvent) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    bool removed = false;
    dlg.steps = {PostStep(WM_APP_QUIT),
                 [&](TestMainDlg& d) {
                     if (r.exits.empty()) return false;
                     removed = d.TrayIcon().IsRemoved();
                     return true;
                 }};
    dlg.Run();
    EXPECT_TRUE(r.events.empty());
    EXPECT_TRUE(removed);
}

TEST_F(MainDlgTest, HiddenWindowStaysHiddenUntilShownAndEscNeverEndsTheDialog) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    dlg.ShowWindowAllowed() = false;
    std::vector<bool> visibility;
    auto record = [&](TestMainDlg& d) {
        visibility.push_back(d.IsWindowVisible() != FALSE);
        return true;
    };
    dlg.steps = {
        record,
        [&](TestMainDlg& d) {
            d.ShowWindow(SW_SHOW);   // refused while hidden
            return true;
        },
        record,
        PostStep(WM_APP_SHOW_SETTINGS),
        Wait(50),
        record,
        PostStep(WM_COMMAND, IDCANCEL, 0),
        Wait(50),
        record,
        PostStep(WM_APP_HIDE_SETTINGS),
        Wait(50),
        record,
        PostStep(WM_COMMAND, ID_TRAY_SETTINGS, 0),
        Wait(50),
        record,
        PostStep(WM_CLOSE),
        Wait(50),
        record,
        PostStep(WM_COMMAND, ID_TRAY_SETTINGS, 0),
        Wait(50),
        record,
        [&](TestMainDlg& d) {
            d.Post(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)d.GetDlgItem(IDOK));
            return true;
        },
        Wait(50),
        record,
    };
    dlg.Run();
    EXPECT_EQ(visibility, (std::vector<bool>{false, false, true, true, false, true, false, true, false}));
}

TEST_F(MainDlgTest, EveryOpeningShowsTheFirstTab) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    dlg.ShowWindowAllowed() = false;
    int tabs = 0, selectedAfterOpening = -1;
    dlg.steps = {
        [&](TestMainDlg& d) {
            tabs = d.Settings().Tabs().GetItemCount();
            d.Settings().Tabs().SetCurSel(3);
            d.Post(WM_APP_SHOW_SETTINGS);
            return true;
        },
        Wait(50),
        [&](TestMainDlg& d) {
            selectedAfterOpening = d.Settings().Tabs().GetCurSel();
            return true;
        },
    };
    dlg.Run();
    EXPECT_EQ(tabs, 4);
    EXPECT_EQ(selectedAfterOpening, 0);
}

TEST_F(MainDlgTest, HelpTooltipFollowsTheCursorOverTheHelpControl) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    bool shownInside = false, hiddenWithWindow = false;
    dlg.steps = {
        [&](TestMainDlg& d) {
            RECT rect;
            GetWindowRect(d.GetDlgItem(IDC_GAME_MODE_HELP), &rect);
            int padding = 2 * GetSystemMetrics(92);
            SetCursorPos((rect.left + rect.right) / 2 + padding, (rect.top + rect.bottom) / 2 + padding);
            return true;
        },
        [&](TestMainDlg& d) {
            shownInside = d.Settings().HelpTip().Shown() == 1;
            return shownInside;
        },
        PostStep(WM_APP_HIDE_SETTINGS),
        [&](TestMainDlg& d) {
            hiddenWithWindow = d.Settings().HelpTip().Shown() == 0;
            return hiddenWithWindow;
        },
    };
    dlg.Run(6000);
    EXPECT_TRUE(shownInside);
    EXPECT_TRUE(hiddenWithWindow);
}

TEST_F(MainDlgTest, HeapObjectsOfPrivateMessagesAreFreed) {
    // Posted objects whose flow is not in this build still reach the dialog, which
    // frees them; the plugin messages' pointers are never touched.
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    dlg.steps = {
        [&](TestMainDlg& d) {
            d.Post(WM_APP_UPLOAD_FILE, 0, reinterpret_cast<LPARAM>(new std::wstring(L"C:\\x.png")));
            d.Post(WM_APP_LINK_READY, 0, reinterpret_cast<LPARAM>(new std::wstring(L"https://x/s12ab")));
            // A second recording request while one runs frees its rectangle.
            d.CaptureBusy() = true;
            d.Post(WM_APP_MAKE_VIDEO, 1, reinterpret_cast<LPARAM>(new RECT{0, 0, 100, 100}));
            // The old plugin messages carry a pointer that nobody checks: ignored.
            d.Post(WM_USER + 0x10, 0, 0x1234);
            d.Post(WM_USER + 0x0f, 0, 0x1234);
            return true;
        },
        Wait(100),
    };
    dlg.Run();
    EXPECT_EQ(dlg.uploadPaths, (std::vector<std::wstring>{L"C:\\x.png"}));
    EXPECT_EQ(dlg.Recording().CaptureArea(), nullptr);
    EXPECT_FALSE(dlg.Recording().Active().load());
    EXPECT_EQ(dlg.Recording().Control(), nullptr);
}

TEST_F(MainDlgTest, RegionShotClearsBusyOnCancelFailureAndExceptionAndIgnoresASecondRequest) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    std::vector<bool> busyAfter;
    size_t runsInsideTheEditor = 0;
    dlg.steps = {
        // Cancel: nothing but the cleared flag. A second request while the editor runs
        // is ignored.
        [&](TestMainDlg& d) {
            r.editor = [&](const RegionEditorRequest&) {
                SendMessageW(d.m_hWnd, WM_APP_REGION_SCREENSHOT, 0, 0);
                runsInsideTheEditor = r.editorRuns.size();
                return RegionEditorOutcome();
            };
            d.Send(WM_APP_REGION_SCREENSHOT);
            busyAfter.push_back(d.CaptureBusy());
            // The editor could not make its picture.
            r.editor = [](const RegionEditorRequest&) {
                RegionEditorOutcome failed;
                failed.result = kRegionEditorFailed;
                return failed;
            };
            d.Send(WM_APP_REGION_SCREENSHOT);
            busyAfter.push_back(d.CaptureBusy());
            // An exception out of the editor's runner.
            r.editor = [](const RegionEditorRequest&) -> RegionEditorOutcome { throw std::runtime_error("boom"); };
            d.Send(WM_APP_REGION_SCREENSHOT);
            busyAfter.push_back(d.CaptureBusy());
            return true;
        },
        Wait(100),
    };
    dlg.Run();
    EXPECT_EQ(runsInsideTheEditor, 1u);
    EXPECT_EQ(r.editorRuns.size(), 3u);
    EXPECT_EQ(busyAfter, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(r.events, (std::vector<std::wstring>{L"Screenshot|Failed|", L"Screenshot|Failed|"}));
    int errors = 0;
    for (UINT m : dlg.privateMessages) errors += m == WM_APP_ERROR;
    EXPECT_EQ(errors, 2);
    ASSERT_FALSE(r.editorRuns.empty());
    EXPECT_FALSE(r.editorRuns[0].video);
}

TEST_F(MainDlgTest, VideoRegionSelectionAsksForTheVideoModeAndReturnsTheRectangle) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    bool gotRect = false, cancelled = true;
    RECT rect{};
    dlg.steps = {[&](TestMainDlg& d) {
        PxImage screen(64, 48, 24, 0);
        r.editor = [](const RegionEditorRequest& q) {
            RegionEditorOutcome out;
            out.result = q.video ? IDOK : IDCANCEL;
            out.selectedRect = {-100, 20, 300, 220};
            return out;
        };
        gotRect = d.Shots().RunVideoRegionSelection(screen, rect);
        r.editor = nullptr;
        RECT untouched{};
        cancelled = !d.Shots().RunVideoRegionSelection(screen, untouched);
        return true;
    }};
    dlg.Run();
    EXPECT_TRUE(gotRect);
    EXPECT_EQ(rect.left, -100);
    EXPECT_EQ(rect.bottom, 220);
    EXPECT_TRUE(cancelled);
    ASSERT_EQ(r.editorRuns.size(), 2u);
    EXPECT_TRUE(r.editorRuns[0].video);
}

// ---- screen recording ----

class MainDlgVideoTest : public MainDlgTest {
protected:
    void SetUp() override {
        MainDlgTest::SetUp();
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"brivane video test\\sub";
        SettingsManager& s = SettingsManager::Instance();
        s.SetVideoSavePath(folder);
        s.SetVideoSaveType(1);
        s.SetShowVideoControlPanel(true);
        s.SetNeedCaptureAudio(false);
        s.SetNeedCaptureMic(false);
        r.editor = [](const RegionEditorRequest& q) {
            RegionEditorOutcome out;
            out.result = q.video ? IDOK : IDCANCEL;
            out.selectedRect = {200, 200, 600, 500};
            return out;
        };
    }
    static TestMainDlg::Step Until(std::function<bool(TestMainDlg&)> condition) { return condition; }
    static bool Idle(TestMainDlg& d) { return !d.CaptureBusy() && !d.Recording().Active(); }
    int Count(const TestMainDlg& d, UINT m) const {
        int n = 0;
        for (UINT x : d.privateMessages) n += x == m;
        return n;
    }
    bool HasEvent(const std::wstring& prefix) const {
        for (const auto& e : r.events)
            if (e.compare(0, prefix.size(), prefix) == 0) return true;
        return false;
    }
    std::wstring folder;
};

TEST_F(MainDlgVideoTest, RecordingShowsFrameAndPanelPausesAndStopsWithTheFileKept) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    RECT frame = {}, panel = {};
    LONG frameEx = 0, panelEx = 0;
    COLORREF key = 0;
    DWORD keyFlags = 0;
    bool recordingIcon = false, pausedAfterClick = false, resumedAfterClick = false, swapped = false;
    std::shared_ptr<RecordingControl> control;
    int64_t panelLimit = 0;
    RECT progress = {};
    BOOL progressCancelEnabled = TRUE;
    dlg.steps = {
        PostStep(WM_APP_MAKE_VIDEO),
        Until([&](TestMainDlg& d) {
            if (!d.Recording().Active() || !d.Recording().ControlPanel() || r.recordings.empty()) return false;
            control = d.Recording().Control();
            HWND f = d.Recording().CaptureArea()->m_hWnd, p = d.Recording().ControlPanel()->m_hWnd;
            GetWindowRect(f, &frame);
            GetWindowRect(p, &panel);
            frameEx = GetWindowLongW(f, GWL_EXSTYLE);
            panelEx = GetWindowLongW(p, GWL_EXSTYLE);
            BYTE alpha = 0;
            GetLayeredWindowAttributes(f, &key, &alpha, &keyFlags);
            recordingIcon = d.TrayIcon().IconData().hIcon == d.RecordingIcon();
            // A second request while recording: its rectangle is freed, nothing starts.
            d.Post(WM_APP_MAKE_VIDEO, 1, reinterpret_cast<LPARAM>(new RECT{0, 0, 64, 64}));
            return true;
        }),
        Wait(150),
        [&](TestMainDlg& d) {
            SendMessageW(d.Recording().ControlPanel()->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(60, 20));
            swapped = !d.Recording().ControlPanel()->m_pause.m_visible && d.Recording().ControlPanel()->m_resume.m_visible;
            return true;
        },
        Wait(100),
        [&](TestMainDlg& d) {
            pausedAfterClick = control->pause;
            SendMessageW(d.Recording().ControlPanel()->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(60, 20));
            swapped = swapped && d.Recording().ControlPanel()->m_pause.m_visible;
            return true;
        },
        Wait(100),
        [&](TestMainDlg& d) {
            resumedAfterClick = !control->pause;
            panelLimit = d.Recording().ControlPanel()->m_limitMs;
            // The stop button.
            SendMessageW(d.Recording().ControlPanel()->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(260, 20));
            return true;
        },
        // "Preparing video file": bottom right of the work area, its Cancel disabled.
        Until([&](TestMainDlg& d) {
            if (!d.Recording().ProgressDlg() || !d.Recording().ProgressDlg()->m_hWnd || !IsWindowVisible(d.Recording().ProgressDlg()->m_hWnd))
                return false;
            GetWindowRect(d.Recording().ProgressDlg()->m_hWnd, &progress);
            progressCancelEnabled = IsWindowEnabled(GetDlgItem(d.Recording().ProgressDlg()->m_hWnd, IDCANCEL));
            return true;
        }),
        Until([&](TestMainDlg& d) { return Idle(d) && Count(d, WM_APP_VIDEO_RECORDED) == 1; }),
        Wait(1200),
    };
    dlg.Run(15000);
    EXPECT_EQ(frame.left, 197);
    EXPECT_EQ(frame.top, 197);
    EXPECT_EQ(frame.right, 603);
    EXPECT_EQ(frame.bottom, 503);
    EXPECT_TRUE(frameEx & WS_EX_TOPMOST);
    EXPECT_TRUE(frameEx & WS_EX_LAYERED);
    EXPECT_EQ(key, RGB(0, 255, 0));
    EXPECT_TRUE(keyFlags & LWA_COLORKEY);
    EXPECT_EQ(panel.right - panel.left, 283);
    EXPECT_EQ(panel.bottom - panel.top, 40);
    EXPECT_TRUE(panelEx & WS_EX_TOPMOST);
    EXPECT_TRUE(panelEx & WS_EX_LAYERED);
    EXPECT_TRUE(recordingIcon);
    EXPECT_TRUE(swapped);
    EXPECT_TRUE(pausedAfterClick);
    EXPECT_TRUE(resumedAfterClick);
    EXPECT_EQ(panelLimit, 240 * 60000);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SIZE size = GetDialogTemplateSize(IDD_PROGRESS);
    EXPECT_EQ(progress.left, work.right - size.cx - 4);
    EXPECT_EQ(progress.top, work.bottom - size.cy);
    EXPECT_FALSE(progressCancelEnabled);
    ASSERT_EQ(r.recordings.size(), 1u);
    EXPECT_EQ(r.recordings[0].area, (CvxRect{200, 200, 600, 500}));
    const std::wstring& path = r.recordings[0].path;
    EXPECT_EQ(path.compare(0, folder.size() + 1, folder + L"\\"), 0);
    EXPECT_EQ(path.substr(path.size() - 4), L".mp4");
    // The missing folder was made.
    DWORD attributes = GetFileAttributesW(folder.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(dlg.Recording().CaptureArea(), nullptr);
    EXPECT_EQ(dlg.Recording().ControlPanel(), nullptr);
    EXPECT_EQ(dlg.TrayIcon().IconData().hIcon, dlg.Icon());
    EXPECT_EQ(Count(dlg, WM_APP_CLOSE_CAPTURE_WINDOWS), 1);
    EXPECT_EQ(Count(dlg, WM_APP_SHOW_PROGRESS), 1);
    EXPECT_EQ(Count(dlg, WM_APP_HIDE_PROGRESS), 1);
    EXPECT_EQ(Count(dlg, WM_APP_INFO), 1);
    EXPECT_TRUE(HasEvent(L"Video|Start|"));
    EXPECT_TRUE(HasEvent(L"Video|Pause|"));
    EXPECT_TRUE(HasEvent(L"Video|Finished|"));
}

TEST_F(MainDlgVideoTest, UndoOpensANewChoiceAtOnceAndTheRecordersNeverOverlap) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    std::shared_ptr<RecordingControl> first;
    dlg.steps = {
        PostStep(WM_APP_MAKE_VIDEO),
        Until([&](TestMainDlg& d) { return d.Recording().Active() && r.recordings.size() == 1; }),
        [&](TestMainDlg& d) {
            first = d.Recording().Control();
            // The panel's restart button.
            SendMessageW(d.Recording().ControlPanel()->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
            return true;
        },
        Until([&](TestMainDlg& d) { return r.recordings.size() == 2 && d.Recording().CaptureArea(); }),
        Wait(100),
        PostStep(WM_APP_VIDEO_STOP),
        Until([&](TestMainDlg& d) { return Idle(d) && Count(d, WM_APP_VIDEO_RECORDED) == 1; }),
    };
    dlg.Run(15000);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->cancel);
    EXPECT_TRUE(first->done);
    EXPECT_NE(dlg.Recording().Control(), first);
    EXPECT_FALSE(dlg.Recording().Control()->cancel);
    EXPECT_EQ(r.mostLiveRecorders.load(), 1);
    ASSERT_EQ(r.discarded.size(), 1u);
    EXPECT_EQ(r.discarded[0], r.recordings[0].path);
    EXPECT_EQ(r.editorRuns.size(), 2u);
    EXPECT_TRUE(HasEvent(L"Video|Undo|"));
    EXPECT_TRUE(HasEvent(L"Video|Cancel|"));
    // The cancelled recording shows no progress window.
    EXPECT_EQ(Count(dlg, WM_APP_SHOW_PROGRESS), 1);
    EXPECT_EQ(Count(dlg, WM_APP_CLOSE_CAPTURE_WINDOWS), 2);
}

TEST_F(MainDlgVideoTest, FailureShowsTheErrorBoxAndClearsBusy) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    r.recorderError = 2;
    bool boxSeen = false;
    dlg.steps = {
        PostStep(WM_APP_MAKE_VIDEO),
        Until([&](TestMainDlg& d) { return d.Recording().Active() && r.recordings.size() == 1; }),
        PostStep(WM_APP_VIDEO_STOP),
        // Timers keep running inside the message box's loop.
        Until([&](TestMainDlg& d) {
            HWND box = FindMessageBox(d.m_hWnd);
            if (!box || Count(d, WM_APP_VIDEO_FAILED) != 1) return false;
            boxSeen = true;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return true;
        }),
        Until([&](TestMainDlg& d) { return Idle(d); }),
    };
    dlg.Run(15000);
    EXPECT_TRUE(boxSeen);
    EXPECT_EQ(dlg.TrayIcon().IconData().hIcon, dlg.Icon());
    EXPECT_TRUE(HasEvent(L"Video|Failed|"));
    EXPECT_FALSE(HasEvent(L"Video|Finished|"));
    EXPECT_EQ(Count(dlg, WM_APP_VIDEO_RECORDED), 0);
}

TEST_F(MainDlgVideoTest, HidingTheRecordingsProgressNeverEndsAnUploadsWindow) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    auto upload = std::make_shared<CProgressDlg>(POINT{-1, -1}, L"upload", nullptr, false, true);
    bool created = false, visibleAfter = false;
    dlg.steps = {
        [&](TestMainDlg& d) {
            created = upload->Create(nullptr);
            ShowWindow(upload->m_hWnd, SW_SHOW);
            d.Uploads().ProgressDlg() = upload;
            d.Post(WM_APP_HIDE_PROGRESS);
            return true;
        },
        Wait(1300),
        [&](TestMainDlg& d) {
            visibleAfter = IsWindowVisible(upload->m_hWnd);
            d.Uploads().ProgressDlg().reset();
            return true;
        },
    };
    dlg.Run();
    EXPECT_TRUE(created);
    EXPECT_TRUE(visibleAfter);
}

TEST_F(MainDlgVideoTest, StopAndCancelDoNothingDuringAPlainAreaChoice) {
    TestMainDlg dlg(tmpl.Get(), TestEnvironment(r));
    bool busyInside = false, activeInside = true;
    dlg.steps = {[&](TestMainDlg& d) {
        r.editor = [&](const RegionEditorRequest&) {
            busyInside = d.CaptureBusy();
            activeInside = d.Recording().Active();
            // A display change, the stop key and a cancel arrive during the choice.
            SendMessageW(d.m_hWnd, WM_DEVICECHANGE, 7, 0);
            SendMessageW(d.m_hWnd, WM_APP_VIDEO_STOP, 0, 0);
            SendMessageW(d.m_hWnd, WM_APP_VIDEO_CANCEL, 0, 0);
            busyInside = busyInside && d.CaptureBusy();
            return RegionEditorOutcome();
        };
        d.Send(WM_APP_MAKE_VIDEO);
        return true;
    }};
    dlg.Run();
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(activeInside);
    EXPECT_FALSE(dlg.CaptureBusy());
    EXPECT_TRUE(r.recordings.empty());
    EXPECT_FALSE(HasEvent(L"Video|Save OnDeviceChange|"));
}

}  // namespace
