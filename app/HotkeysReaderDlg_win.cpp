#include "app/HotkeysReaderDlg.h"

#include "app/HotkeysManager.h"
#include "foundation/Log.h"

CHotkeysReaderDlg::CHotkeysReaderDlg() : CDialogEx(kTemplateId, nullptr) {}

BOOL CHotkeysReaderDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    HotkeysManager::DisableHandlers();
    SetDlgItemTextW(m_hWnd, kKeysEdit, L"");
    return TRUE;
}

void CHotkeysReaderDlg::OnOK() {
    HotkeysManager::EnableHandlers();
    CDialogEx::OnOK();
}

void CHotkeysReaderDlg::OnCancel() {
    HotkeysManager::EnableHandlers();
    CDialogEx::OnCancel();
}

void CHotkeysReaderDlg::FocusKeysEdit() {
    HWND edit = GetDlgItem(kKeysEdit);
    if (!edit) return;
    ::SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    SendMessageW(edit, EM_SETSEL, 0xFFFF, 0xFFFF);
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

BOOL CHotkeysReaderDlg::PreTranslateMessage(MSG* msg) {
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
        RecordStep step = RecordHotkeyMessage(msg->message, static_cast<int>(msg->wParam), m_recording);
        if (step.changed) {
            SetDlgItemTextW(m_hWnd, kKeysEdit, m_recording.text.c_str());
            FocusKeysEdit();
        }
        if (step.consumed) return TRUE;
    }
    return CDialogEx::PreTranslateMessage(msg);
}

LRESULT CHotkeysReaderDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_WINDOWPOSCHANGING && (reinterpret_cast<WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW)) {
        FocusKeysEdit();
    } else if (msg == WM_SHOWWINDOW && wParam) {
        // Opened from a click in the settings window: the keys must come here.
        SetForegroundWindow(m_hWnd);
    }
    return CDialogEx::WindowProc(msg, wParam, lParam);
}
