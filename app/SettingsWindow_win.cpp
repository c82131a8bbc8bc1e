#include "app/SettingsWindow.h"

#include <shlobj.h>

#include "app/HotkeyCapture.h"
#include "app/HotkeysManager.h"
#include "app/MainDlg.h"
#include "app/SettingsWindowLogic.h"
#include "app/TabSavePropsDlg.h"
#include "app/TabVideoDlg.h"
#include "classlib/Dialog.h"
#include "foundation/Log.h"
#include "foundation/StringTable.h"
#include "foundation/WinHandles.h"
#include "resources/resource.h"
#include "settings/SettingsManager.h"

namespace {

// Controls of the pages that the settings window fills.
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

// The control's rectangle in the client coordinates of `window`.
RECT ClientRectOf(HWND control, HWND window) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

SettingsWindow::SettingsWindow(CDialog& window, Services services)
    : m_window(window), m_services(std::move(services)) {
    LoadPngResource(nullptr, 201, m_helpIcon);
}

SettingsPageEnvironment SettingsWindow::MakePageEnvironment() {
    SettingsPageEnvironment env = SettingsPageEnvironment::Default();
    env.postEvent = m_services.postEvent;
    env.messageBox = m_services.messageBox;
    env.recordingActive = m_services.recordingActive;
    env.captureHotkey = [this](HWND edit, HotkeySlot slot, const std::wstring& action) {
        // The capture dialog has no owner: a second click in the settings window while
        // it is open must not open another one.
        if (m_capturingHotkey) return;
        m_capturingHotkey = true;
        SettingsPageEnvironment self = MakePageEnvironment();
        CaptureHotkey(edit, slot, action, self, m_services.runHotkeyDialog);
        m_capturingHotkey = false;
    };
    return env;
}

void SettingsWindow::CreatePages() { m_pages.Create(m_window, m_services.makePage, MakePageEnvironment()); }

void SettingsWindow::CreateHelpTooltip() { m_helpTip.Create(m_window.m_hWnd, IDC_GAME_MODE_HELP, Text(156)); }

void SettingsWindow::BuildTabs(int index) {
    if (!m_tabCtrl.m_hWnd) return;
    m_tabCtrl.DeleteAllItems();
    const unsigned captions[] = {142, 143, 144, 166};
    for (int i = 0; i < SettingsPages::kCount; i++) m_tabCtrl.InsertItem(i, Text(captions[i]).c_str());
    ShowTab(index);
    UpdateGameModeControls();
}

void SettingsWindow::ShowTab(int index) {
    m_pages.Show(index);
    if (m_tabCtrl.m_hWnd) m_tabCtrl.SetCurSel(index);
}

void SettingsWindow::OnTabChanged() { ShowTab(m_tabCtrl.GetCurSel()); }

HWND SettingsWindow::FindDlgItem(int id) const {
    if (HWND control = m_pages.FindItem(id)) return control;
    return m_window.GetDlgItem(id);
}

void SettingsWindow::FillPageControls(bool initial) {
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
    CDialog* save = m_pages.Page(SettingsPages::kSave);
    if (initial && save && save->m_hWnd) SetCheck(save->GetDlgItem(kSaveLocally), (storage & 4) != 0);
}

void SettingsWindow::LoadPages() {
    m_pages.UpdateAll(false);
    m_window.UpdateData(FALSE);
}

void SettingsWindow::SavePages() {
    m_pages.UpdateAll(true);
    m_window.UpdateData(TRUE);
}

void SettingsWindow::UpdateGameModeControls() {
    bool silent = SettingsManager::Instance().GetSilentMode();
    if (HWND on = m_window.GetDlgItem(IDC_GAME_MODE_ON)) ::ShowWindow(on, silent ? SW_SHOW : SW_HIDE);
    if (HWND off = m_window.GetDlgItem(IDC_GAME_MODE_OFF)) ::ShowWindow(off, silent ? SW_HIDE : SW_SHOW);
    for (int id : {kPlaySound, kOpenScreenshotInBrowser, kRegionTwoButtons, kVideoTwoButtons}) {
        if (HWND box = FindDlgItem(id)) EnableWindow(box, !silent);
    }
    if (HWND box = FindDlgItem(kOpenVideoInBrowser)) {
        CTabVideoDlg* video = m_pages.VideoPage();
        bool local = video && video->IsLocalSaveChecked();
        EnableWindow(box, !silent && !local);
    }
    m_gameModeSwitch.Select(silent);
    if (HWND place = m_window.GetDlgItem(IDC_GAME_MODE_SWITCH)) InvalidateRect(place, nullptr, TRUE);
}

void SettingsWindow::Paint(HICON icon) {
    const HWND window = m_window.m_hWnd;
    PaintDC paint(window);
    if (IsIconic(window)) {
        SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.get()), 0);
        RECT client;
        GetClientRect(window, &client);
        int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(paint.get(), x, y, icon);
        return;
    }
    m_gameModeSwitch.Select(SettingsManager::Instance().GetSilentMode());
    if (HWND place = m_window.GetDlgItem(IDC_GAME_MODE_SWITCH)) {
        RECT rect = ClientRectOf(place, window);
        m_gameModeSwitch.Draw(paint.get(), rect.left, rect.top);
    }
    if (HWND help = m_window.GetDlgItem(IDC_GAME_MODE_HELP)) {
        RECT rect = ClientRectOf(help, window);
        if (m_helpIcon.IsValid()) m_helpIcon.Draw(paint.get(), rect.left, rect.top);
    }
}

void SettingsWindow::DrawHelpIcon(const DRAWITEMSTRUCT* item) {
    FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (m_helpIcon.IsValid()) m_helpIcon.Draw(item->hDC, item->rcItem.left, item->rcItem.top);
}

LRESULT SettingsWindow::DrawSwitch(NMCUSTOMDRAW* draw) {
    bool silent = SettingsManager::Instance().GetSilentMode();
    COLORREF colour = silent ? RGB(0, 0, 255) : RGB(255, 255, 255);
    if (draw->dwDrawStage == CDDS_PREERASE) {
        UniqueBrush brush(CreateSolidBrush(RGB(0, 0, 0)));
        FillRect(draw->hdc, &draw->rc, brush.get());
    } else if (draw->dwDrawStage == CDDS_PREPAINT) {
        UniqueBrush brush(CreateSolidBrush(colour));
        FillRect(draw->hdc, &draw->rc, brush.get());
        // The place is painted after the window: the picture goes on top here too, and
        // the check box itself is not drawn.
        m_gameModeSwitch.Select(silent);
        if (m_gameModeSwitch.m_current->IsValid()) m_gameModeSwitch.m_current->Draw(draw->hdc, 0, 0);
        return CDRF_SKIPDEFAULT;
    }
    return CDRF_DODEFAULT;
}

bool SettingsWindow::ClickSwitch(POINT point) {
    if (!m_gameModeSwitch.Hit(point.x, point.y)) return false;
    ToggleSilentMode(false, m_services.postEvent);
    UpdateGameModeControls();
    LoadPages();
    return true;
}

bool SettingsWindow::ConfirmOk() {
    const HWND window = m_window.m_hWnd;
    std::wstring folder = GetText(FindDlgItem(kScreenshotsFolderEdit));
    SavePages();
    // 1020 is also a control of the General page: the Save page's own box is meant.
    CTabSavePropsDlg* save = m_pages.SavePage();
    bool keepLocally = save && save->IsLocalCopyChecked();
    int created = 0;
    if (keepLocally) created = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (DecideOkFolder(keepLocally, created, keepLocally && IsDirectory(folder)) == OkFolderDecision::Warn) {
        Log("CtavimorerfDlg::OnOK: no folder to save screenshots (%d)\n", created);
        if (m_services.messageBox) {
            m_services.messageBox(window, Text(161), Text(162), MB_ICONWARNING);
        } else {
            MessageBoxW(window, Text(161).c_str(), Text(162).c_str(), MB_ICONWARNING);
        }
        return false;
    }
    return true;
}

void SettingsWindow::ReloadAfterClose() {
    LoadPages();
    SettingsManager& settings = SettingsManager::Instance();
    SetControlText(FindDlgItem(kScreenshotsFolderEdit), settings.GetScreenshotsSavePath());
    SetControlText(FindDlgItem(kVideoFolderEdit), settings.GetVideoSavePath());
}

void SettingsWindow::ReloadImageType() {
    if (CTabSavePropsDlg* save = m_pages.SavePage()) save->ApplyImageType(false);
}
