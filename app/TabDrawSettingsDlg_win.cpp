#include "app/TabDrawSettingsDlg.h"

#include "app/HotkeysManager.h"
#include "app/SettingsPagesLogic.h"
#include "classlib/DataExchange.h"
#include "settings/SettingsManager.h"

namespace {

constexpr int kTemplate = 108;
constexpr int kHotkeyEdit = 1036;
constexpr int kAlwaysEditor = 1033;

}  // namespace

CTabDrawSettingsDlg::CTabDrawSettingsDlg(SettingsPageEnvironment environment, CWnd* parent)
    : CDialogEx(kTemplate, parent), m_env(std::move(environment)) {}

BOOL CTabDrawSettingsDlg::OnInitDialog() {
    SetBackgroundColor(RGB(255, 255, 255));
    SetPageFont(L"Calibri", 110);
    SetDlgItemTextW(m_hWnd, kHotkeyEdit, HotkeyToText(HotkeysManager::GetDrawModeHotkey()).c_str());
    UpdateData(FALSE);
    return TRUE;
}

void CTabDrawSettingsDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, kHotkeyEdit, m_hotkeyEdit);
}

BOOL CTabDrawSettingsDlg::PreTranslateMessage(MSG* msg) {
    if (msg->wParam == MK_LBUTTON && m_hotkeyEdit.m_hWnd && msg->hwnd == m_hotkeyEdit.m_hWnd &&
        msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST) {
        if (m_env.captureHotkey)
            m_env.captureHotkey(m_hotkeyEdit.m_hWnd, HotkeySlot::DrawModeActivation, L"Set Hotkey for Editor Activation");
        return TRUE;
    }
    return CDialogEx::PreTranslateMessage(msg);
}

bool CTabDrawSettingsDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (id == kAlwaysEditor && code == BN_CLICKED) {
        bool on = SendMessageW(GetDlgItem(kAlwaysEditor), BM_GETCHECK, 0, 0) == BST_CHECKED;
        m_env.postEvent(L"Settings", ToggleAction(on, L"Always Activate Editor"), L"");
        SettingsManager::Instance().SetSelectAndDrawMode(on);
        return true;
    }
    // A page has no OK or Cancel of its own: Enter and Esc belong to the window.
    if (id == IDOK || id == IDCANCEL) return true;
    return false;
}
