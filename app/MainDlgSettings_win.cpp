// The settings window side of the main dialog: the four pages, the control lookup
// across them, the silent-mode switch, the help icon and what OK, Cancel and Close do.
#include <shlobj.h>

#include "app/HotkeyCapture.h"
#include "app/HotkeysManager.h"
#include "app/MainDlg.h"
#include "app/NewVersionBannerDlg.h"
#include "app/SettingsWindowLogic.h"
#include "app/TabCommonDlg.h"
#include "app/TabDrawSettingsDlg.h"
#include "app/TabSavePropsDlg.h"
#include "app/TabVideoDlg.h"
#include "foundation/EventBus.h"
#include "foundation/Log.h"
#include "foundation/StringTable.h"
#include "resources/resource.h"
#include "settings/SettingsManager.h"

namespace {

constexpr int kPageOffsetX = 14;
constexpr int kPageOffsetY = 88;

enum PageIndex { kGeneral = 0, kSave = 1, kEditor = 2, kVideo = 3 };

// Controls of the pages that the main dialog fills.
constexpr int kScreenshotsFolderEdit = 1001, kVideoFolderEdit = 1054;
constexpr int kFullScreenEdit = 1014, kRegionEdit = 1015, kActiveWindowEdit = 1022, kDrawModeEdit = 1036,
              kVideoEdit = 1050;
constexpr int kSaveLocally = 1020;   // on the Save page (General has a 1020 of its own)
constexpr int kOpenScreenshotInBrowser = 1019;
constexpr int kPlaySound = 1018, kRegionTwoButtons = 1017, kVideoTwoButtons = 1051, kOpenVideoInBrowser = 1052;

void SetCheck(HWND control, bool on) {
    if (control) SendMessageW(control, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void SetControlText(HWND control, const std::wstring& text) {
    if (control) SetWindowTextW(control, text.c_str());
}

std::wstring GetText(HWND control) {
    if (!control) return L"";
    int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(control, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

bool IsDirectory(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::unique_ptr<CDialog> MakeSettingsPage(int index, const SettingsPageEnvironment& environment) {
    switch (index) {
    case kGeneral: {
        GeneralPageEnvironment general = GeneralPageEnvironment::Default();
        general.page = environment;
        return std::make_unique<CTabCommonDlg>(std::move(general));
    }
    case kSave:
        return std::make_unique<CTabSavePropsDlg>(environment);
    case kEditor:
        return std::make_unique<CTabDrawSettingsDlg>(environment);
    case kVideo:
        return std::make_unique<CTabVideoDlg>(environment);
    default:
        return nullptr;
    }
}

SettingsPageEnvironment CtavimorerfDlg::MakePageEnvironment() {
    SettingsPageEnvironment env = SettingsPageEnvironment::Default();
    env.postEvent = m_env.postEvent;
    env.messageBox = m_env.messageBox;
    env.recordingActive = [this] { return m_recordingActive.load(); };
    env.captureHotkey = [this](HWND edit, HotkeySlot slot, const std::wstring& action) {
        // The capture dialog has no owner: a second click in the settings window while
        // it is open must not open another one.
        if (m_capturingHotkey) return;
        m_capturingHotkey = true;
        SettingsPageEnvironment self = MakePageEnvironment();
        CaptureHotkey(edit, slot, action, self, m_env.runHotkeyDialog);
        m_capturingHotkey = false;
    };
    return env;
}

HWND CtavimorerfDlg::FindDlgItem(int id) const {
    for (CDialog* page : m_pages) {
        if (!page || !page->m_hWnd) continue;
        if (HWND control = page->GetDlgItem(id)) return control;
    }
    return GetDlgItem(id);
}

void CtavimorerfDlg::CreatePages() {
    if (!m_env.makePage) return;
    SettingsPageEnvironment environment = MakePageEnvironment();
    for (int i = 0; i < 4; i++) {
        std::unique_ptr<CDialog> page = m_env.makePage(i, environment);
        if (!page || !page->Create(this)) {
            Log("CtavimorerfDlg: settings page %d not created\n", i);
            continue;
        }
        // The page keeps its size; it moves 14 px right and 88 px down from its place,
        // above the tab control.
        RECT rect;
        GetWindowRect(page->m_hWnd, &rect);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        SetWindowPos(page->m_hWnd, HWND_TOP, rect.left + kPageOffsetX, rect.top + kPageOffsetY, 0, 0,
                     SWP_NOSIZE | SWP_NOACTIVATE);
        m_pages[i] = page.get();
        m_pageObjects[i] = std::move(page);
        if (i == kGeneral) {
            m_pageGeneral = static_cast<CTabCommonDlg*>(m_pages[i]);
            m_pages[i]->ShowWindow(SW_SHOW);
            EventBus::Instance().Register(m_pageGeneral);
        }
    }
}

void CtavimorerfDlg::FillPageControls(bool initial) {
    SettingsManager& settings = SettingsManager::Instance();
    if (initial) {
        SetControlText(FindDlgItem(kScreenshotsFolderEdit), settings.GetScreenshotsSavePath());
        SetControlText(FindDlgItem(kVideoFolderEdit), settings.GetVideoSavePath());
    }
    SetControlText(FindDlgItem(kFullScreenEdit), HotkeyToText(HotkeysManager::GetFullScreenshotHotkey()));
    SetControlText(FindDlgItem(kRegionEdit), HotkeyToText(HotkeysManager::GetRegionScreenshotHotkey()));
    SetControlText(FindDlgItem(kActiveWindowEdit), HotkeyToText(HotkeysManager::GetActiveWindowScreenshotHotkey()));
    if (!initial) {
        SetControlText(FindDlgItem(kDrawModeEdit), HotkeyToText(HotkeysManager::GetDrawModeHotkey()));
        SetControlText(FindDlgItem(kVideoEdit), HotkeyToText(HotkeysManager::GetVideoRecordingHotkey()));
    }
    const struct {
        int id;
        bool on;
    } boxes[] = {
        {1016, settings.GetNeedCaptureCursor()},
        {1018, settings.GetNeedPlaySound()},
        {1019, settings.GetOpenScreenshotInBrowser()},
        {1033, settings.GetSelectAndDrawMode()},
        {1017, settings.GetUseLRMouseForRegioScreenshot()},
        {1051, settings.GetUseLRMouseForVideoRecording()},
        {1052, settings.GetNeedToOpenVideoInBrowser()},
        {1062, settings.GetNeedCaptureAudio()},
        {1063, settings.GetNeedCaptureMic()},
        {1064, settings.GetShowVideoControlPanel()},
    };
    for (const auto& box : boxes) SetCheck(FindDlgItem(box.id), box.on);
    int storage = settings.GetStorageType();
    if (HWND openInBrowser = FindDlgItem(kOpenScreenshotInBrowser)) {
        ::ShowWindow(openInBrowser, (storage & 2) ? SW_SHOW : SW_HIDE);
    }
    // 1020 is also a control of the General page: the Save page's own box is meant.
    if (initial && m_pages[kSave] && m_pages[kSave]->m_hWnd) {
        SetCheck(m_pages[kSave]->GetDlgItem(kSaveLocally), (storage & 4) != 0);
    }
}

void CtavimorerfDlg::LoadPages() {
    for (CDialog* page : m_pages) {
        if (page && page->m_hWnd) page->UpdateData(FALSE);
    }
    UpdateData(FALSE);
}

void CtavimorerfDlg::SavePages() {
    for (CDialog* page : m_pages) {
        if (page && page->m_hWnd) page->UpdateData(TRUE);
    }
    UpdateData(TRUE);
}

void CtavimorerfDlg::UpdateGameModeControls() {
    bool silent = SettingsManager::Instance().GetSilentMode();
    if (HWND on = GetDlgItem(IDC_GAME_MODE_ON)) ::ShowWindow(on, silent ? SW_SHOW : SW_HIDE);
    if (HWND off = GetDlgItem(IDC_GAME_MODE_OFF)) ::ShowWindow(off, silent ? SW_HIDE : SW_SHOW);
    for (int id : {kPlaySound, kOpenScreenshotInBrowser, kRegionTwoButtons, kVideoTwoButtons}) {
        if (HWND box = FindDlgItem(id)) EnableWindow(box, !silent);
    }
    if (HWND box = FindDlgItem(kOpenVideoInBrowser)) {
        auto* video = static_cast<CTabVideoDlg*>(m_pages[kVideo]);
        bool local = video && video->m_hWnd && video->IsLocalSaveChecked();
        EnableWindow(box, !silent && !local);
    }
    m_gameModeSwitch.Select(silent);
    if (HWND place = GetDlgItem(IDC_GAME_MODE_SWITCH)) InvalidateRect(place, nullptr, TRUE);
}

void CtavimorerfDlg::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    if (IsIconic(m_hWnd)) {
        Send(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        RECT client;
        GetClientRect(m_hWnd, &client);
        int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(dc, x, y, m_hIcon);
    } else {
        m_gameModeSwitch.Select(SettingsManager::Instance().GetSilentMode());
        if (HWND place = GetDlgItem(IDC_GAME_MODE_SWITCH)) {
            RECT rect;
            GetWindowRect(place, &rect);
            MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
            m_gameModeSwitch.Draw(dc, rect.left, rect.top);
        }
        if (HWND help = GetDlgItem(IDC_GAME_MODE_HELP)) {
            RECT rect;
            GetWindowRect(help, &rect);
            MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
            if (m_helpIcon.IsValid()) m_helpIcon.Draw(dc, rect.left, rect.top);
        }
    }
    EndPaint(m_hWnd, &paint);
}

void CtavimorerfDlg::DrawHelpIcon(const DRAWITEMSTRUCT* item) {
    // The help control paints over the dialog: it shows the icon itself.
    FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (m_helpIcon.IsValid()) m_helpIcon.Draw(item->hDC, item->rcItem.left, item->rcItem.top);
}

LRESULT CtavimorerfDlg::OnCustomDrawCheck(NMCUSTOMDRAW* draw) {
    bool silent = SettingsManager::Instance().GetSilentMode();
    COLORREF colour = silent ? RGB(0, 0, 255) : RGB(255, 255, 255);
    if (draw->dwDrawStage == CDDS_PREERASE) {
        HBRUSH brush = CreateSolidBrush(RGB(0, 0, 0));
        FillRect(draw->hdc, &draw->rc, brush);
        DeleteObject(brush);
    } else if (draw->dwDrawStage == CDDS_PREPAINT) {
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(draw->hdc, &draw->rc, brush);
        DeleteObject(brush);
        // The place is painted after the dialog: the picture goes on top here too, and
        // the check box itself is not drawn.
        m_gameModeSwitch.Select(silent);
        if (m_gameModeSwitch.m_current->IsValid()) m_gameModeSwitch.m_current->Draw(draw->hdc, 0, 0);
        return CDRF_SKIPDEFAULT;
    }
    return CDRF_DODEFAULT;
}

void CtavimorerfDlg::OnLButtonUp(POINT point) {
    if (!m_gameModeSwitch.Hit(point.x, point.y)) return;
    ToggleSilentMode(false, m_env.postEvent);
    UpdateGameModeControls();
    LoadPages();
    Invalidate();
}

void CtavimorerfDlg::OnGameModeHelp() {
    if (!m_helpTooltip || m_helpTooltipShown) return;
    SendMessageW(m_helpTooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&m_helpToolInfo));
    m_helpTooltipShown = 1;
}

void CtavimorerfDlg::OnOK() {
    std::wstring folder = GetText(FindDlgItem(kScreenshotsFolderEdit));
    SavePages();
    // 1020 is also a control of the General page: the Save page's own box is meant.
    auto* save = static_cast<CTabSavePropsDlg*>(m_pages[kSave]);
    bool keepLocally = save && save->m_hWnd && save->IsLocalCopyChecked();
    int created = 0;
    if (keepLocally) created = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (DecideOkFolder(keepLocally, created, keepLocally && IsDirectory(folder)) == OkFolderDecision::Warn) {
        Log("CtavimorerfDlg::OnOK: no folder to save screenshots (%d)\n", created);
        if (m_env.messageBox) {
            m_env.messageBox(m_hWnd, Text(161), Text(162), MB_ICONWARNING);
        } else {
            MessageBoxW(m_hWnd, Text(161).c_str(), Text(162).c_str(), MB_ICONWARNING);
        }
        return;
    }
    HideSettingsWindow();
    HideNewVersionBanner();
}

void CtavimorerfDlg::OnCancel() {
    // Esc reloads the controls; the window stays and the dialog never ends.
    LoadPages();
}

void CtavimorerfDlg::OnClose() {
    HideSettingsWindow();
    HideNewVersionBanner();
    LoadPages();
    SettingsManager& settings = SettingsManager::Instance();
    SetControlText(FindDlgItem(kScreenshotsFolderEdit), settings.GetScreenshotsSavePath());
    SetControlText(FindDlgItem(kVideoFolderEdit), settings.GetVideoSavePath());
}

void CtavimorerfDlg::ReloadImageType() {
    auto* save = static_cast<CTabSavePropsDlg*>(m_pages[kSave]);
    if (save && save->m_hWnd) save->ApplyImageType(false);
}
