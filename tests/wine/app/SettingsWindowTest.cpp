// The settings window as a whole: the main dialog from its own template with the four
// real pages, the General page and the hotkey capture dialog's key handling.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/HotkeyCapture.h"
#include "app/HotkeysManager.h"
#include "app/HotkeysReaderDlg.h"
#include "app/MainDlg.h"
#include "app/TabCommonDlg.h"
#include "classlib/Controls.h"
#include "classlib/WinApp.h"
#include "foundation/EventBus.h"
#include "resources/resource.h"
#include "settings/SettingsManager.h"
#include "tests/wine/classlib/DialogTemplate.h"

namespace {

using Event = std::tuple<std::wstring, std::wstring, std::wstring>;

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) PumpMessage(msg, nullptr);
}

struct Boxes {
    std::vector<std::pair<std::wstring, std::wstring>> shown;   // text, caption
    std::vector<Event> events;
    std::vector<std::pair<HotkeySlot, std::wstring>> captures;

    SettingsPageEnvironment Page() {
        SettingsPageEnvironment env;
        env.postEvent = [this](const std::wstring& c, const std::wstring& a, const std::wstring& l) {
            events.emplace_back(c, a, l);
        };
        env.messageBox = [this](HWND, const std::wstring& text, const std::wstring& caption, UINT) {
            shown.emplace_back(text, caption);
            return IDOK;
        };
        env.captureHotkey = [this](HWND, HotkeySlot slot, const std::wstring& action) {
            captures.emplace_back(slot, action);
        };
        return env;
    }
};

HotkeySet DefaultHotkeys() {
    HotkeySet set;
    set[HotkeySlot::FullScreenshot] = {16, 44};
    set[HotkeySlot::RegionScreenshot] = {44};
    set[HotkeySlot::ActiveWindowScreenshot] = {18, 44};
    set[HotkeySlot::DrawModeActivation] = {17};
    set[HotkeySlot::VideoRecordingActivation] = {17, 18, 86};
    return set;
}

class GeneralPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        HotkeysManager::LoadCombinations(DefaultHotkeys());
        SettingsManager::Instance().SetNeedPlaySound(true);
        GeneralPageEnvironment env;
        env.page = boxes.Page();
        env.createSupportLogsZip = [this](const SupportLogsRequest& request) {
            calls.push_back("zip");
            zipRequest = request;
            return zipStarts;
        };
        env.closeLog = [this] { calls.push_back("close log"); };
        env.openLog = [this] { calls.push_back("open log"); };
        env.logFolder = L"C:\\logs";
        ASSERT_TRUE(host->Create(nullptr));
        page = std::make_unique<CTabCommonDlg>(std::move(env));
        ASSERT_TRUE(page->Create(host.get()));
    }
    void TearDown() override {
        page.reset();
        host.reset();
    }

    DialogTemplate hostTemplate{WS_POPUP | WS_CAPTION, 320, 220, L"host"};
    std::unique_ptr<CDialogEx> host = std::make_unique<CDialogEx>(hostTemplate.Get());

    Boxes boxes;
    std::vector<std::string> calls;
    SupportLogsRequest zipRequest;
    bool zipStarts = false;
    std::unique_ptr<CTabCommonDlg> page;
};

TEST_F(GeneralPageTest, ApplyHotkeyRefusesAnotherSlotsCombinationAndReappliesItsOwn) {
    HWND region = page->GetDlgItem(1015);
    SetWindowTextW(region, L"PrtScr");
    // The full-screen combination for Region: the message, nothing changes.
    ApplyHotkey(region, HotkeySlot::RegionScreenshot, {16, 44}, L"Set Hotkey for Region", boxes.Page());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].first, L"The hotkey combination is already in use");
    EXPECT_EQ(boxes.shown[0].second, L"Brivane");
    EXPECT_TRUE(boxes.events.empty());
    EXPECT_EQ(HotkeysManager::GetRegionScreenshotHotkey(), (HotkeyCombination{44}));
    EXPECT_EQ(HotkeysManager::GetFullScreenshotHotkey(), (HotkeyCombination{16, 44}));
    // Its own combination again: applied, with its event, no message.
    ApplyHotkey(region, HotkeySlot::RegionScreenshot, {44}, L"Set Hotkey for Region", boxes.Page());
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.events, (std::vector<Event>{{L"Settings", L"Set Hotkey for Region", L"PrtScr"}}));
    // A new one: stored, shown, sent.
    ApplyHotkey(region, HotkeySlot::RegionScreenshot, {17, 16, 83}, L"Set Hotkey for Region", boxes.Page());
    EXPECT_EQ(HotkeysManager::GetRegionScreenshotHotkey(), (HotkeyCombination{17, 16, 83}));
    EXPECT_EQ(GetWindowTextString(region), L"Ctrl + Shift + S");
    EXPECT_EQ(boxes.events.back(), (Event{L"Settings", L"Set Hotkey for Region", L"Ctrl + Shift + S"}));
    EXPECT_EQ(SettingsManager::Instance().GetHotkeys()[HotkeySlot::RegionScreenshot],
              (HotkeyCombination{17, 16, 83}));
}

TEST_F(GeneralPageTest, ALeftButtonOnAHotkeyFieldOpensTheCaptureForItsSlot) {
    const std::tuple<int, HotkeySlot, std::wstring> fields[] = {
        {1014, HotkeySlot::FullScreenshot, L"Set Hotkey for Fullscreenshot"},
        {1015, HotkeySlot::RegionScreenshot, L"Set Hotkey for Region"},
        {1022, HotkeySlot::ActiveWindowScreenshot, L"Set Hotkey for Capture Window"},
    };
    for (const auto& [id, slot, action] : fields) {
        PostMessageW(page->GetDlgItem(id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        Pump();
        ASSERT_FALSE(boxes.captures.empty());
        EXPECT_EQ(boxes.captures.back(), std::make_pair(slot, action));
    }
    // Without the button held, or on another control, nothing opens.
    PostMessageW(page->GetDlgItem(1014), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    PostMessageW(page->GetDlgItem(1018), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    Pump();
    EXPECT_EQ(boxes.captures.size(), 3u);
}

TEST_F(GeneralPageTest, StorageEventsShowAndHideTheBrowserOption) {
    HWND box = page->GetDlgItem(1019);
    ShowWindow(box, SW_SHOW);
    const std::pair<const char*, bool> steps[] = {{"store-in-clipboard-option-set", false},
                                                  {"store-on-server-option-set-later", false},
                                                  {"store-on-server-option-set", true},
                                                  {"store-in-clipboard-option-set ", true},
                                                  {"store-in-clipboard", true}};
    for (const auto& [name, shown] : steps) {
        SCOPED_TRACE(name);
        page->OnEvent(name);
        EXPECT_EQ((GetWindowLongW(box, GWL_STYLE) & WS_VISIBLE) != 0, shown);
    }
}

TEST_F(GeneralPageTest, CheckBoxesStoreAndSendTheirEvents) {
    SendMessageW(page->GetDlgItem(1018), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(page->GetDlgItem(1018), BM_CLICK, 0, 0);
    EXPECT_FALSE(SettingsManager::Instance().GetNeedPlaySound());
    SendMessageW(page->GetDlgItem(1016), BM_CLICK, 0, 0);
    EXPECT_TRUE(SettingsManager::Instance().GetNeedCaptureCursor());
    EXPECT_EQ(boxes.events, (std::vector<Event>{{L"Settings", L"Unset Play Sound", L""},
                                                {L"Settings", L"Set Show Cursor", L""}}));
}

TEST_F(GeneralPageTest, AReportThatCannotStartReopensTheLogAtOnce) {
    zipStarts = false;
    SendMessageW(page->m_hWnd, WM_COMMAND, MAKEWPARAM(1068, BN_CLICKED), reinterpret_cast<LPARAM>(page->GetDlgItem(1068)));
    EXPECT_EQ(calls, (std::vector<std::string>{"close log", "zip", "open log"}));
    EXPECT_EQ(boxes.events, (std::vector<Event>{{L"Settings", L"CreateLogsZip", L""}}));
    EXPECT_EQ(zipRequest.notifyWindow, page->m_hWnd);
    EXPECT_EQ(zipRequest.logFolder, L"C:\\logs");
    EXPECT_EQ(zipRequest.notifyMessage, 0x462u);
    // A second report can start: nothing was left running.
    SendMessageW(page->m_hWnd, WM_COMMAND, MAKEWPARAM(1068, BN_CLICKED), reinterpret_cast<LPARAM>(page->GetDlgItem(1068)));
    EXPECT_EQ(calls.size(), 6u);
}

// The capture dialog once it is shown (null after 5 s).
HWND WaitForCaptureDialog() {
    for (int i = 0; i < 500; i++) {
        HWND dialog = FindWindowW(nullptr, L"Hotkey configuration");
        if (dialog && IsWindowVisible(dialog)) {
            Sleep(100);
            return dialog;
        }
        Sleep(10);
    }
    return nullptr;
}

// The capture dialog from its template, fed key messages through the message pump as
// the keyboard would: the walk reaches its PreTranslateMessage.
TEST(HotkeysReaderDlgTest, RecordsThroughThePumpAndDisablesTheHandlersWhileOpen) {
    HotkeysManager::EnableHandlers();
    std::vector<bool> enabledWhileOpen;
    std::thread feeder([&] {
        HWND dialog = WaitForCaptureDialog();
        if (!dialog) return;
        enabledWhileOpen.push_back(HotkeysManager::AreHandlersEnabled());
        HWND edit = GetDlgItem(dialog, 1001);
        for (int key : {17, 17, 16, 83}) PostMessageW(edit, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
        PostMessageW(edit, WM_KEYDOWN, 101, 0);   // keypad 5: no name
        PostMessageW(edit, WM_KEYUP, 83, 0);
        Sleep(200);
        PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    });
    HotkeyCombination keys;
    INT_PTR result = RunHotkeysReaderDlg(keys);
    feeder.join();
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(keys, (HotkeyCombination{17, 16, 83}));
    EXPECT_EQ(enabledWhileOpen, (std::vector<bool>{false}));
    EXPECT_TRUE(HotkeysManager::AreHandlersEnabled());

    std::thread canceller([] {
        HWND dialog = WaitForCaptureDialog();
        if (!dialog) return;
        HWND edit = GetDlgItem(dialog, 1001);
        PostMessageW(edit, WM_KEYDOWN, 17, 0);
        PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    result = RunHotkeysReaderDlg(keys);
    canceller.join();
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(HotkeysManager::AreHandlersEnabled());
}

// The main dialog from template 102 with the four pages from theirs.
class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        HotkeysManager::LoadCombinations(DefaultHotkeys());
        SettingsManager& s = SettingsManager::Instance();
        s.SetSilentMode(false);
        s.SetStorageType(6);
        s.SetVideoSaveType(0);
        MainDlgEnvironment env;
        env.postEvent = [this](const std::wstring& c, const std::wstring& a, const std::wstring& l) {
            events.emplace_back(c, a, l);
        };
        env.exitProcess = [](unsigned) {};
        env.countMonitors = [] { return 1; };
        env.monitors = [] { return MonitorSizeMap{{L"\\\\.\\DISPLAY1", {1280, 1024}}}; };
        env.reinitCore = [] {};
        env.reopenLog = [] {};
        env.fileExists = [](const std::wstring&) { return false; };
        env.openUrl = [](const std::wstring&) {};
        env.chooseFile = [](HWND) { return std::wstring(); };
        env.commandLine = L"brivane.exe";
        env.messageBox = [this](HWND, const std::wstring& text, const std::wstring& caption, UINT) {
            boxes.emplace_back(text, caption);
            return IDOK;
        };
        env.makePage = &MakeSettingsPage;
        dialog = std::make_unique<CtavimorerfDlg>(nullptr, std::move(env));
        ASSERT_TRUE(dialog->Create(nullptr));
        Pump();
    }
    void TearDown() override {
        dialog.reset();
        HotkeysManager::EnableHandlers();
    }

    POINT ClientTopLeft(HWND window) {
        RECT rect;
        GetWindowRect(window, &rect);
        POINT point = {rect.left, rect.top};
        ScreenToClient(dialog->m_hWnd, &point);
        return point;
    }

    std::vector<Event> events;
    std::vector<std::pair<std::wstring, std::wstring>> boxes;
    std::unique_ptr<CtavimorerfDlg> dialog;
};

TEST_F(SettingsWindowTest, PagesAreChildrenAtTheirOffsetsAndTheLookupTakesGeneralFirst) {
    for (int i = 0; i < 4; i++) {
        ASSERT_NE(dialog->Settings().Pages().Page(i), nullptr) << i;
        HWND page = dialog->Settings().Pages().Page(i)->m_hWnd;
        EXPECT_EQ(GetParent(page), dialog->m_hWnd);
        EXPECT_TRUE(GetWindowLongW(page, GWL_STYLE) & WS_CHILD);
        // The templates place the pages at (0, 0): they end up 14 px right, 88 px down.
        POINT at = ClientTopLeft(page);
        EXPECT_EQ(at.x, 14) << i;
        EXPECT_EQ(at.y, 88) << i;
        EXPECT_EQ((GetWindowLongW(page, GWL_STYLE) & WS_VISIBLE) != 0, i == 0) << i;
    }
    HWND general = dialog->Settings().Pages().Page(0)->m_hWnd, save = dialog->Settings().Pages().Page(1)->m_hWnd;
    EXPECT_EQ(GetParent(dialog->FindDlgItem(1014)), general);
    EXPECT_EQ(GetParent(dialog->FindDlgItem(1020)), general);
    EXPECT_EQ(GetParent(dialog->FindDlgItem(1001)), save);
    EXPECT_EQ(GetParent(dialog->FindDlgItem(1050)), dialog->Settings().Pages().Page(3)->m_hWnd);
    EXPECT_EQ(dialog->FindDlgItem(IDC_TAB_PAGES), dialog->GetDlgItem(IDC_TAB_PAGES));
    EXPECT_EQ(dialog->FindDlgItem(4242), nullptr);
    EXPECT_EQ(GetWindowTextString(dialog->FindDlgItem(1014)), L"Shift + PrtScr");
    // Storage 6: the Save page's own 1020 (local copy) is checked, General's is the link.
    EXPECT_EQ(SendMessageW(GetDlgItem(save, 1020), BM_GETCHECK, 0, 0), BST_CHECKED);
    dialog->ShowTab(3);
    EXPECT_TRUE(GetWindowLongW(dialog->Settings().Pages().Page(3)->m_hWnd, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongW(general, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(SettingsWindowTest, TheSwitchTogglesOnlyInsideItsPicture) {
    ShowWindow(dialog->m_hWnd, SW_SHOW);
    UpdateWindow(dialog->m_hWnd);
    Pump();
    HWND place = dialog->GetDlgItem(IDC_GAME_MODE_SWITCH);
    ASSERT_NE(place, nullptr);
    // The place is disabled: a click on it is the dialog's own.
    EXPECT_FALSE(IsWindowEnabled(place));
    POINT at = ClientTopLeft(place);
    auto click = [&](int x, int y) {
        SendMessageW(dialog->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    };
    click(at.x, at.y + 10);        // left edge
    click(at.x + 48, at.y + 10);   // just past the 48-pixel picture
    click(at.x + 20, at.y + 24);   // just below it
    EXPECT_FALSE(SettingsManager::Instance().GetSilentMode());
    EXPECT_TRUE(events.empty());
    click(at.x + 47, at.y + 23);   // its last pixel
    EXPECT_TRUE(SettingsManager::Instance().GetSilentMode());
    EXPECT_EQ(events, (std::vector<Event>{{L"Settings", L"Set Game Mode", L""}}));
    EXPECT_TRUE(IsWindowVisible(dialog->GetDlgItem(IDC_GAME_MODE_ON)));
    for (int id : {1018, 1019, 1017, 1051, 1052}) EXPECT_FALSE(IsWindowEnabled(dialog->FindDlgItem(id))) << id;
    click(at.x + 1, at.y + 1);
    EXPECT_FALSE(SettingsManager::Instance().GetSilentMode());
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(std::get<1>(events.back()), L"Unset Game Mode");
    for (int id : {1018, 1019, 1017, 1051, 1052}) EXPECT_TRUE(IsWindowEnabled(dialog->FindDlgItem(id))) << id;
}

TEST_F(SettingsWindowTest, TheTraysSettingsCommandReloadsImageTypeAndQuality) {
    SettingsManager& s = SettingsManager::Instance();
    s.SetImageTypeId(0);
    s.SetJpegQuality(90);
    dialog->Settings().Pages().Page(1)->UpdateData(FALSE);
    SendMessageW(dialog->m_hWnd, WM_COMMAND, ID_TRAY_SETTINGS, 0);
    // Changed behind the window's back (as by another start): the next opening shows it.
    s.SetImageTypeId(1);
    s.SetJpegQuality(40);
    SendMessageW(dialog->m_hWnd, WM_COMMAND, ID_TRAY_SETTINGS, 0);
    HWND save = dialog->Settings().Pages().Page(1)->m_hWnd;
    EXPECT_EQ(SendMessageW(GetDlgItem(save, 1027), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(SendMessageW(GetDlgItem(save, 1028), TBM_GETPOS, 0, 0), 40);
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(save, 1028), GWL_STYLE) & WS_VISIBLE) << "JPEG shows the quality";
    EXPECT_EQ(std::count(events.begin(), events.end(), Event{L"Settings", L"Open", L""}), 2);
}

TEST_F(SettingsWindowTest, OkHidesOnlyWhenTheScreenshotsFolderIsAFolder) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring base = std::wstring(temp) + L"brivane-ok-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(base.c_str(), nullptr);
    std::wstring file = base + L"\\file";
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
    struct Case {
        std::wstring path;
        bool hides;
    };
    const Case cases[] = {{file + L"\\under", false}, {file, false}, {base + L"\\made", true}, {base, true}};
    SettingsManager::Instance().SetStorageType(5);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        boxes.clear();
        SettingsManager::Instance().SetScreenshotsSavePath(c.path);
        SendMessageW(dialog->m_hWnd, WM_CLOSE, 0, 0);   // reloads the folder edits
        dialog->ShowWindowAllowed() = true;
        ShowWindow(dialog->m_hWnd, SW_SHOW);
        SendMessageW(dialog->m_hWnd, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(IsWindowVisible(dialog->m_hWnd) == FALSE, c.hides);
        EXPECT_EQ(boxes.size(), c.hides ? 0u : 1u);
        if (!c.hides) EXPECT_EQ(boxes[0], std::make_pair(std::wstring(L"Invalid directory to save screenshots"),
                                                         std::wstring(L"Warning")));
    }
    // Without a local copy no folder is asked for.
    SettingsManager::Instance().SetStorageType(1);
    SettingsManager::Instance().SetScreenshotsSavePath(file + L"\\under");
    SendMessageW(dialog->m_hWnd, WM_CLOSE, 0, 0);
    dialog->Settings().Pages().Page(1)->UpdateData(FALSE);
    dialog->ShowWindowAllowed() = true;
    ShowWindow(dialog->m_hWnd, SW_SHOW);
    boxes.clear();
    SendMessageW(dialog->m_hWnd, WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(IsWindowVisible(dialog->m_hWnd));
    EXPECT_TRUE(boxes.empty());
    RemoveDirectoryW((base + L"\\made").c_str());
    DeleteFileW(file.c_str());
    RemoveDirectoryW(base.c_str());
}

}  // namespace
