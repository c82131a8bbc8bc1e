#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/HotkeysManager.h"
#include "app/MicSndQualityWarning.h"
#include "app/TabDrawSettingsDlg.h"
#include "app/TabSavePropsDlg.h"
#include "app/TabVideoDlg.h"
#include "classlib/Controls.h"
#include "classlib/WinApp.h"
#include "foundation/EventBus.h"
#include "settings/SettingsManager.h"
#include "tests/wine/app/ProgramModule.h"
#include "tests/wine/classlib/DialogTemplate.h"

namespace {

using Event = std::tuple<std::wstring, std::wstring, std::wstring>;

struct MessageBoxCall {
    std::wstring text, caption;
    UINT type;
};

struct ShellCall {
    std::wstring verb, file, parameters;
    int show;
};

// Everything a page asked of the process, and the scripted answers.
struct Recorder {
    std::vector<Event> events;
    std::vector<MessageBoxCall> boxes;
    std::vector<ShellCall> shell;
    std::vector<std::pair<std::wstring, std::wstring>> browses;   // title, initial folder
    std::wstring browseAnswer;
    std::vector<std::pair<HotkeySlot, std::wstring>> captures;
    int deviceChecks = 0;
    AudioDeviceReport devices;
    bool recording = false;

    SettingsPageEnvironment Environment() {
        SettingsPageEnvironment env;
        env.postEvent = [this](const std::wstring& c, const std::wstring& a, const std::wstring& l) {
            events.emplace_back(c, a, l);
        };
        env.messageBox = [this](HWND, const std::wstring& text, const std::wstring& caption, UINT type) {
            boxes.push_back({text, caption, type});
            return IDOK;
        };
        env.browseForFolder = [this](HWND, const std::wstring& title, const std::wstring& initial) {
            browses.emplace_back(title, initial);
            return browseAnswer;
        };
        env.shellExecute = [this](HWND, const std::wstring& verb, const std::wstring& file,
                                  const std::wstring& parameters, int show) {
            shell.push_back({verb, file, parameters, show});
        };
        env.checkAudioDevices = [this] {
            deviceChecks++;
            return devices;
        };
        env.recordingActive = [this] { return recording; };
        env.captureHotkey = [this](HWND, HotkeySlot slot, const std::wstring& action) {
            captures.emplace_back(slot, action);
        };
        return env;
    }
};

// A top-level window for the pages; records OK, so Enter can be traced.
class HostDlg : public CDialogEx {
public:
    explicit HostDlg(const DLGTEMPLATE* t) : CDialogEx(t) {}
    int okCount = 0;

protected:
    void OnOK() override { okCount++; }
    void OnCancel() override {}
};

DialogTemplate HostTemplate() {
    DialogTemplate t(WS_POPUP | WS_CAPTION | WS_VISIBLE, 320, 220, L"host");
    t.Control(0x0080, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 200, 200, 50, 14, L"OK");
    return t;
}

struct EventListener : IEventListener {
    std::vector<std::string> names;
    void OnEvent(const std::string& name) override { names.push_back(name); }
};

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) PumpMessage(msg, nullptr);
}

bool Checked(CWnd& page, int id) {
    return SendMessageW(page.GetDlgItem(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool Enabled(CWnd& page, int id) {
    return IsWindowEnabled(page.GetDlgItem(id)) != FALSE;
}

bool Visible(CWnd& page, int id) {
    return (GetWindowLongW(page.GetDlgItem(id), GWL_STYLE) & WS_VISIBLE) != 0;
}

std::wstring Text(CWnd& page, int id) {
    return GetWindowTextString(page.GetDlgItem(id));
}

// A click as the user makes it: the box toggles and tells its page.
void Click(CWnd& page, int id) {
    SendMessageW(page.GetDlgItem(id), BM_CLICK, 0, 0);
}

void SelectCombo(CWnd& page, int id, int index) {
    HWND combo = page.GetDlgItem(id);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(page.m_hWnd, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

class SettingsPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsManager& s = SettingsManager::Instance();
        s.SetSilentMode(false);
        s.SetStorageType(6);
        s.SetScreenshotsSavePath(L"C:\\shots");
        s.SetVideoSavePath(L"C:\\videos");
        s.SetImageTypeId(0);
        s.SetJpegQuality(80);
        s.SetVideoSaveType(1);
        s.SetVideoQualityLevel(0);
        s.SetNeedCaptureAudio(false);
        s.SetNeedCaptureMic(false);
        host = std::make_unique<HostDlg>(tmpl.Get());
        ASSERT_TRUE(host->Create(nullptr));
    }
    void TearDown() override { host.reset(); }

    template <class Page>
    std::unique_ptr<Page> MakePage() {
        auto page = std::make_unique<Page>(rec.Environment(), host.get());
        EXPECT_TRUE(page->Create(host.get()));
        page->ShowWindow(SW_SHOW);
        UpdateWindow(page->m_hWnd);
        Pump();
        return page;
    }

    DialogTemplate tmpl = HostTemplate();
    std::unique_ptr<HostDlg> host;
    Recorder rec;
};

// The radio shown for the stored bits, and what saving the untouched page writes back:
// a local-only setting never turns into an upload.
TEST_F(SettingsPagesTest, SavePageShowsAndWritesTheStorageBits) {
    struct Case {
        int stored;
        bool upload, clipboard, local;
    };
    const Case cases[] = {{6, true, false, true}, {5, false, true, true}, {1, false, true, false},
                          {4, false, false, true}, {2, true, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        SettingsManager::Instance().SetStorageType(c.stored);
        auto page = MakePage<CTabSavePropsDlg>();
        EXPECT_EQ(Checked(*page, 1005), c.upload);
        EXPECT_EQ(Checked(*page, 1006), c.clipboard);
        EXPECT_EQ(Checked(*page, 1020), c.local);
        EXPECT_EQ(page->IsLocalCopyChecked(), c.local);
        EXPECT_EQ(Enabled(*page, 1001), c.local);
        EXPECT_EQ(Enabled(*page, 1002), c.local);
        page->UpdateData(TRUE);
        EXPECT_EQ(SettingsManager::Instance().GetStorageType(), c.stored);
    }
}

TEST_F(SettingsPagesTest, SavePageRadiosAndLocalCopyStoreAtOnce) {
    EventListener listener;
    EventBus::Instance().Register(&listener);
    auto page = MakePage<CTabSavePropsDlg>();
    Click(*page, 1006);
    EXPECT_EQ(SettingsManager::Instance().GetStorageType(), 5);
    Click(*page, 1020);
    EXPECT_EQ(SettingsManager::Instance().GetStorageType(), 1);
    EXPECT_FALSE(Enabled(*page, 1001));
    EXPECT_FALSE(Enabled(*page, 1002));
    Click(*page, 1020);
    EXPECT_EQ(SettingsManager::Instance().GetStorageType(), 5);
    EXPECT_TRUE(Enabled(*page, 1001));
    Click(*page, 1005);
    EXPECT_EQ(SettingsManager::Instance().GetStorageType(), 6);
    EventBus::Instance().Unregister(&listener);

    EXPECT_EQ(rec.events, (std::vector<Event>{{L"Settings", L"Set Save Screenshot To Clipboard", L""},
                                              {L"Settings", L"Unset Save Screenshot To Disk", L""},
                                              {L"Settings", L"Set Save Screenshot To Disk", L""},
                                              {L"Settings", L"Set Save Screenshot To Server", L""}}));
    EXPECT_EQ(listener.names,
              (std::vector<std::string>{"store-in-clipboard-option-set", "store-on-server-option-set"}));
}

TEST_F(SettingsPagesTest, SavePageImageTypeShowsQualityForJpegOnly) {
    auto page = MakePage<CTabSavePropsDlg>();
    EXPECT_EQ(page->m_imageType.GetItemText(0), L"PNG");
    EXPECT_EQ(page->m_imageType.GetItemText(1), L"JPEG");
    EXPECT_EQ(page->m_quality.GetRangeMin(), 25);
    EXPECT_EQ(page->m_quality.GetRangeMax(), 100);
    EXPECT_EQ(Text(*page, 1014), L"80");
    for (int id : {1028, 1029, 1014}) EXPECT_FALSE(Visible(*page, id)) << id;

    SelectCombo(*page, 1027, 1);
    EXPECT_EQ(SettingsManager::Instance().GetImageTypeId(), 1);
    for (int id : {1028, 1029, 1014}) EXPECT_TRUE(Visible(*page, id)) << id;
    SelectCombo(*page, 1027, 0);
    EXPECT_EQ(SettingsManager::Instance().GetImageTypeId(), 0);
    for (int id : {1028, 1029, 1014}) EXPECT_FALSE(Visible(*page, id)) << id;
    EXPECT_EQ(rec.events, (std::vector<Event>{{L"Settings", L"Set image type to JPEG", L""},
                                              {L"Settings", L"Set image type to PNG", L""}}));

    // The tray's reload picks the stored values again.
    SettingsManager::Instance().SetImageTypeId(1);
    SettingsManager::Instance().SetJpegQuality(40);
    page->ApplyImageType(false);
    Pump();
    EXPECT_EQ(page->m_imageType.GetCurSel(), 1);
    EXPECT_EQ(page->m_quality.GetPos(), 40);
}

TEST_F(SettingsPagesTest, SavePageSliderStoresTheJpegQuality) {
    SettingsManager::Instance().SetImageTypeId(1);
    auto page = MakePage<CTabSavePropsDlg>();
    // Any repaint with a new position shows and stores it (the slider's custom draw).
    page->m_quality.SetPos(70, TRUE);
    UpdateWindow(page->m_quality.m_hWnd);
    Pump();
    EXPECT_EQ(Text(*page, 1014), L"70");
    EXPECT_EQ(SettingsManager::Instance().GetJpegQuality(), 70);
    // The user drags the slider: it repaints (custom draw) and reports the move.
    page->m_quality.SetPos(61, TRUE);
    SendMessageW(page->m_hWnd, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 61),
                 reinterpret_cast<LPARAM>(page->m_quality.m_hWnd));
    UpdateWindow(page->m_quality.m_hWnd);
    Pump();
    EXPECT_EQ(Text(*page, 1014), L"61");
    EXPECT_EQ(SettingsManager::Instance().GetJpegQuality(), 61);
    // Out of range positions are clamped by the slider.
    page->m_quality.SetPos(5, TRUE);
    UpdateWindow(page->m_quality.m_hWnd);
    SendMessageW(page->m_hWnd, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(page->m_quality.m_hWnd));
    EXPECT_EQ(SettingsManager::Instance().GetJpegQuality(), 25);
    // The slider's background is the page's white brush.
    HDC dc = GetDC(page->m_quality.m_hWnd);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(page->m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(page->m_quality.m_hWnd)));
    ReleaseDC(page->m_quality.m_hWnd, dc);
    LOGBRUSH info = {};
    ASSERT_NE(brush, nullptr);
    ASSERT_NE(GetObjectW(brush, sizeof info, &info), 0);
    EXPECT_EQ(info.lbColor, RGB(255, 255, 255));
}

TEST_F(SettingsPagesTest, SavePageFolderComesOnlyFromTheChooser) {
    auto page = MakePage<CTabSavePropsDlg>();
    EXPECT_EQ(Text(*page, 1001), L"C:\\shots");
    SetWindowTextW(page->GetDlgItem(1001), L"C:\\typed");
    EXPECT_EQ(Text(*page, 1001), L"C:\\shots");

    rec.browseAnswer = L"";   // Cancel
    Click(*page, 1002);
    EXPECT_EQ(SettingsManager::Instance().GetScreenshotsSavePath(), L"C:\\shots");
    rec.browseAnswer = L"C:\\chosen \"q\" \x00e9";
    Click(*page, 1002);
    EXPECT_EQ(SettingsManager::Instance().GetScreenshotsSavePath(), rec.browseAnswer);
    EXPECT_EQ(Text(*page, 1001), rec.browseAnswer);
    ASSERT_EQ(rec.browses.size(), 2u);
    EXPECT_EQ(rec.browses[0].first, L"Select folder");
    EXPECT_EQ(rec.browses[0].second, L"C:\\shots");
    EXPECT_EQ(rec.events, (std::vector<Event>{{L"Settings", L"Set Screenshot Save Path", L""},
                                              {L"Settings", L"Set Screenshot Save Path", L""}}));
}

// Enter in the Save page does nothing; Enter elsewhere in the window is its OK.
TEST_F(SettingsPagesTest, EnterIsSwallowedOnTheSavePageOnly) {
    auto page = MakePage<CTabSavePropsDlg>();
    auto keyTo = [](HWND target) {
        SetFocus(target);
        MSG msg = {target, WM_KEYDOWN, VK_RETURN, 0x001C0001};
        PumpMessage(msg, nullptr);
        MSG up = {target, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001)};
        PumpMessage(up, nullptr);
        Pump();
    };
    keyTo(page->GetDlgItem(1001));
    keyTo(page->GetDlgItem(1027));
    EXPECT_EQ(host->okCount, 0);
    EXPECT_TRUE(page->IsWindowVisible());
    keyTo(host->GetDlgItem(IDOK));
    EXPECT_EQ(host->okCount, 1);
}

TEST_F(SettingsPagesTest, EditorPageHotkeyFieldAndAlwaysEditor) {
    HotkeySet set;
    set[HotkeySlot::DrawModeActivation] = HotkeyCombination{17, 68};
    HotkeysManager::LoadCombinations(set);
    auto page = MakePage<CTabDrawSettingsDlg>();
    EXPECT_EQ(Text(*page, 1036), HotkeyToText(HotkeyCombination{17, 68}));

    MSG click = {page->GetDlgItem(1036), WM_LBUTTONDOWN, MK_LBUTTON, 0};
    EXPECT_TRUE(page->PreTranslateMessage(&click));
    MSG other = {page->GetDlgItem(1033), WM_LBUTTONDOWN, MK_LBUTTON, 0};
    EXPECT_FALSE(page->PreTranslateMessage(&other));
    MSG key = {page->GetDlgItem(1036), WM_CHAR, 1, 0};
    EXPECT_FALSE(page->PreTranslateMessage(&key));
    ASSERT_EQ(rec.captures.size(), 1u);
    EXPECT_EQ(rec.captures[0].first, HotkeySlot::DrawModeActivation);
    EXPECT_EQ(rec.captures[0].second, L"Set Hotkey for Editor Activation");

    SettingsManager::Instance().SetSelectAndDrawMode(false);
    Click(*page, 1033);
    EXPECT_TRUE(SettingsManager::Instance().GetSelectAndDrawMode());
    Click(*page, 1033);
    EXPECT_FALSE(SettingsManager::Instance().GetSelectAndDrawMode());
    EXPECT_EQ(rec.events, (std::vector<Event>{{L"Settings", L"Set Always Activate Editor", L""},
                                              {L"Settings", L"Unset Always Activate Editor", L""}}));
}

TEST_F(SettingsPagesTest, VideoPageSaveChoiceAndQuality) {
    auto page = MakePage<CTabVideoDlg>();
    EXPECT_TRUE(Checked(*page, 1057));
    EXPECT_TRUE(page->IsLocalSaveChecked());
    EXPECT_TRUE(Enabled(*page, 1054));
    EXPECT_TRUE(Enabled(*page, 1055));
    EXPECT_FALSE(Enabled(*page, 1052));
    EXPECT_EQ(Text(*page, 1054), L"C:\\videos");

    Click(*page, 1056);
    EXPECT_EQ(SettingsManager::Instance().GetVideoSaveType(), 0);
    EXPECT_FALSE(Enabled(*page, 1054));
    EXPECT_FALSE(Enabled(*page, 1055));
    EXPECT_TRUE(Enabled(*page, 1052));
    Click(*page, 1057);
    EXPECT_EQ(SettingsManager::Instance().GetVideoSaveType(), 1);
    EXPECT_FALSE(Enabled(*page, 1052));
    // Silent mode keeps "Open video in the browser" off for uploads too.
    SettingsManager::Instance().SetSilentMode(true);
    Click(*page, 1056);
    EXPECT_FALSE(Enabled(*page, 1052));
    SettingsManager::Instance().SetSilentMode(false);

    HWND combo = page->GetDlgItem(1079);
    ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
    SelectCombo(*page, 1079, 1);
    EXPECT_EQ(SettingsManager::Instance().GetVideoQualityLevel(), 1);
    SelectCombo(*page, 1079, 2);
    EXPECT_EQ(SettingsManager::Instance().GetVideoQualityLevel(), 2);

    SetWindowTextW(page->GetDlgItem(1054), L"C:\\typed");
    EXPECT_EQ(Text(*page, 1054), L"C:\\videos");
    rec.browseAnswer = L"C:\\clips";
    Click(*page, 1057);
    Click(*page, 1055);
    EXPECT_EQ(SettingsManager::Instance().GetVideoSavePath(), L"C:\\clips");
    EXPECT_EQ(Text(*page, 1054), L"C:\\clips");

    EXPECT_EQ(rec.events, (std::vector<Event>{{L"Settings", L"Set Save Video To Server", L""},
                                              {L"Settings", L"Set Save Video To Disk", L""},
                                              {L"Settings", L"Set Save Video To Server", L""},
                                              {L"Settings", L"Set Video Quality to Medium - up to 720p", L""},
                                              {L"Settings", L"Set Video Quality to High - up to 1080p", L""},
                                              {L"Settings", L"Set Save Video To Disk", L""},
                                              {L"Settings", L"Set Video Save Path", L""}}));
}

TEST_F(SettingsPagesTest, VideoPageMissingSoundSourceWarnsAndKeepsTheBox) {
    rec.devices.soundOk = false;
    rec.devices.micOk = false;
    auto page = MakePage<CTabVideoDlg>();
    Click(*page, 1062);
    EXPECT_TRUE(Checked(*page, 1062));
    EXPECT_TRUE(SettingsManager::Instance().GetNeedCaptureAudio());
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].text, L"Sound source not found.");
    EXPECT_EQ(rec.boxes[0].caption, L"");
    EXPECT_EQ(rec.boxes[0].type, static_cast<UINT>(MB_ICONWARNING));
    // Turning it off still tests the devices and shows nothing.
    Click(*page, 1062);
    EXPECT_FALSE(SettingsManager::Instance().GetNeedCaptureAudio());
    EXPECT_EQ(rec.deviceChecks, 2);
    EXPECT_EQ(rec.boxes.size(), 1u);
    Click(*page, 1063);
    ASSERT_EQ(rec.boxes.size(), 2u);
    EXPECT_EQ(rec.boxes[1].text, L"Microphone not found.");
    EXPECT_EQ(rec.events, (std::vector<Event>{{L"Settings", L"Set Video Record Sound", L""},
                                              {L"Settings", L"Show No Sound Warning", L""},
                                              {L"Settings", L"Unset Video Record Sound", L""},
                                              {L"Settings", L"Set Video Record Microphone", L""},
                                              {L"Settings", L"Show No Mic Warning", L""}}));
}

TEST_F(SettingsPagesTest, VideoPageSkipsTheDeviceTestWhileRecording) {
    rec.recording = true;
    auto page = MakePage<CTabVideoDlg>();
    Click(*page, 1062);
    EXPECT_EQ(rec.deviceChecks, 0);
    EXPECT_TRUE(rec.boxes.empty());
    EXPECT_TRUE(SettingsManager::Instance().GetNeedCaptureAudio());
}

// The warning answered by a script on the host's timer, inside the page's modal loop.
struct WarningScript {
    static WarningScript* current;
    int answer = IDOK;
    bool pressSoundSettings = false;
    bool seen = false;
    std::wstring micText, soundText;

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        WarningScript* self = current;
        HWND dlg = FindWindowW(L"#32770", L"Mixed sound settings failed");
        if (!self || !dlg || !IsWindowVisible(dlg) || self->seen) return;
        self->seen = true;
        self->micText = GetWindowTextString(GetDlgItem(dlg, 1064));
        self->soundText = GetWindowTextString(GetDlgItem(dlg, 1065));
        if (self->pressSoundSettings) SendMessageW(GetDlgItem(dlg, 1058), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dlg, self->answer), BM_CLICK, 0, 0);
    }
};
WarningScript* WarningScript::current = nullptr;

TEST_F(SettingsPagesTest, VideoPageMixedRatesAskWhichSourceToKeep) {
    rec.devices.soundOk = true;
    rec.devices.micOk = true;
    rec.devices.formatsMatch = false;
    rec.devices.sound = {48000, 2, 32};
    rec.devices.mic = {44100, 2, 32};
    SettingsManager::Instance().SetNeedCaptureAudio(true);
    auto page = MakePage<CTabVideoDlg>();
    ASSERT_TRUE(Checked(*page, 1062));

    struct Case {
        int answer;
        bool soundAfter, micAfter;
    };
    for (const Case& c : {Case{IDOK, false, true}, Case{IDCANCEL, true, false}}) {
        SCOPED_TRACE(c.answer);
        SendMessageW(page->GetDlgItem(1062), BM_SETCHECK, BST_CHECKED, 0);
        SendMessageW(page->GetDlgItem(1063), BM_SETCHECK, BST_UNCHECKED, 0);
        SettingsManager::Instance().SetNeedCaptureAudio(true);
        SettingsManager::Instance().SetNeedCaptureMic(false);
        rec.events.clear();
        rec.shell.clear();
        WarningScript script;
        script.answer = c.answer;
        script.pressSoundSettings = c.answer == IDOK;
        WarningScript::current = &script;
        UINT_PTR timer = SetTimer(host->m_hWnd, 77, 30, &WarningScript::Tick);
        Click(*page, 1063);   // runs the warning modally until the script answers
        KillTimer(host->m_hWnd, timer);
        WarningScript::current = nullptr;

        ASSERT_TRUE(script.seen);
        EXPECT_EQ(script.micText, L"frequency 44100 Hz");
        EXPECT_EQ(script.soundText, L"frequency 48000 Hz");
        EXPECT_EQ(Checked(*page, 1062), c.soundAfter);
        EXPECT_EQ(Checked(*page, 1063), c.micAfter);
        EXPECT_EQ(SettingsManager::Instance().GetNeedCaptureAudio(), c.soundAfter);
        EXPECT_EQ(SettingsManager::Instance().GetNeedCaptureMic(), c.micAfter);
        EXPECT_EQ(rec.events, (std::vector<Event>{{L"Settings", L"Set Video Record Microphone", L""},
                                                  {L"Settings", L"Show Sound Quality Warning", L"48000,44100"}}));
        if (c.answer == IDOK) {
            ASSERT_EQ(rec.shell.size(), 1u);
            EXPECT_EQ(rec.shell[0].verb, L"open");
            EXPECT_EQ(rec.shell[0].file, L"rundll32.exe");
            EXPECT_EQ(rec.shell[0].parameters, L"shell32.dll,Control_RunDLL mmsys.cpl,,1");
            EXPECT_EQ(rec.shell[0].show, SW_SHOWNORMAL);
        }
        EXPECT_TRUE(rec.boxes.empty());
    }
}

TEST_F(SettingsPagesTest, WarningHelpLinkOpensTheHelpPage) {
    std::vector<std::wstring> opened;
    MicSndQualityWarning warning(44100, 1, 16, 48000, 2, 32, host.get(),
                                 [&](HWND, const std::wstring&, const std::wstring& file, const std::wstring&, int) {
                                     opened.push_back(file);
                                 });
    ASSERT_TRUE(warning.Create(host.get()));
    HWND link = warning.GetDlgItem(1063);
    ASSERT_NE(link, nullptr);
    NMHDR header = {link, 1063, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(SendMessageW(warning.m_hWnd, WM_NOTIFY, 1063, reinterpret_cast<LPARAM>(&header)), 0);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], SettingsManager::GetSiteUrl() + L"/help/sound-settings");
}

}  // namespace

namespace {

INT_PTR CALLBACK QuietDlgProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// The program's own templates and texts, read from the built executable.
TEST(SettingsPagesResourcesTest, ProgramCarriesThePagesWithTheirTexts) {
    HMODULE module = LoadProgramResources();
    if (!module) GTEST_SKIP() << "brivane.exe is not built beside the tests";
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LINK_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);

    struct Item {
        int id;
        const wchar_t* text;
    };
    struct Case {
        unsigned templateId;
        std::vector<Item> items;
    };
    const std::vector<Case> cases = {
        {154,
         {{1010, L"How to save screenshot "},
          {1005, L"Upload to server and copy link to clipboard"},
          {1006, L"Copy to clipboard without uploading to server"},
          {1020, L"Also save a screenshot locally in the directory:"},
          {1002, L"..."},
          {1029, L"JPEG quality:"},
          {1001, nullptr},
          {1027, nullptr},
          {1028, nullptr},
          {1014, nullptr}}},
        {108,
         {{1035, L"You can activate the editor in two ways:\n- Hold down the hotkey while taking a screenshot.\n- "
                 L"Press the hotkey when the screen is faded to enable or disable the editor while selecting the "
                 L"screen area."},
          {1034, L"Hotkey to activate editor"},
          {1033, L"Always activate editor"},
          {1036, nullptr}}},
        {116,
         {{1034, L"Video recording"},
          {1051, L"Ctrl + Shift + Both mouse buttons at the same time"},
          {1056, L"Upload to server and copy link to clipboard"},
          {1057, L"Locally in the directory"},
          {1055, L"..."},
          {1052, L"Open video in the browser"},
          {1062, L"Record sound"},
          {1063, L"Record microphone"},
          {1064, L"Show video recording controls"},
          {1077, L"Direct video link"},
          {1050, nullptr},
          {1054, nullptr},
          {1079, nullptr}}},
        {235, {{1058, L"Sound settings"}, {IDOK, L"OK"}, {IDCANCEL, L"Cancel"}, {1063, nullptr}, {1064, nullptr},
               {1065, nullptr}}},
    };
    // The pages are child dialogs: they need a parent window.
    HWND parent = CreateWindowExW(0, L"STATIC", L"parent", WS_POPUP, 0, 0, 600, 500, nullptr, nullptr, nullptr,
                                  nullptr);
    ASSERT_NE(parent, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.templateId);
        HWND dlg = CreateDialogParamW(module, MAKEINTRESOURCEW(c.templateId), parent, &QuietDlgProc, 0);
        ASSERT_NE(dlg, nullptr);
        for (const Item& item : c.items) {
            SCOPED_TRACE(item.id);
            HWND control = GetDlgItem(dlg, item.id);
            ASSERT_NE(control, nullptr);
            if (item.text) EXPECT_EQ(GetWindowTextString(control), item.text);
        }
        if (c.templateId == 235) EXPECT_EQ(GetWindowTextString(dlg), L"Mixed sound settings failed");
        DestroyWindow(dlg);
    }
    wchar_t text[256];
    const std::pair<unsigned, const wchar_t*> strings[] = {
        {131, L"Select folder"}, {187, L"Sound source not found."}, {188, L"Microphone not found."},
        {190, L"help/sound-settings"}, {191, L"frequency {} Hz"}};
    for (const auto& s : strings) {
        int n = LoadStringW(module, s.first, text, 256);
        EXPECT_EQ(std::wstring(text, n > 0 ? n : 0), s.second) << s.first;
    }
    DestroyWindow(parent);
    FreeLibrary(module);
}

}  // namespace
