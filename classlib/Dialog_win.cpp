#include "classlib/Dialog.h"

#include <commctrl.h>

#include <exception>

#include "classlib/DataExchange.h"
#include "classlib/WinApp.h"
#include "foundation/Log.h"

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::CDialog(const DLGTEMPLATE* tmpl, CWnd* parent) : m_template(tmpl), m_parent(parent) {}

bool CDialog::CreateFromTemplate(HWND parent) {
    if (m_hWnd) return false;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const DLGTEMPLATE* tmpl = m_template;
    if (!tmpl) {
        HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(m_templateId), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
        HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
        tmpl = loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
        if (!tmpl) {
            Log("CDialog: dialog template %u not found\n", m_templateId);
            return false;
        }
    }
    HWND hwnd = CreateDialogIndirectParamW(instance, tmpl, parent, &CDialog::StaticDlgProc,
                                           reinterpret_cast<LPARAM>(this));
    if (!hwnd) {
        Log("CDialog: CreateDialogIndirectParamW failed, error %lu\n", GetLastError());
        return false;
    }
    SetOwnsWindow();
    return true;
}

bool CDialog::Create(CWnd* parent) {
    if (parent) m_parent = parent;
    return CreateFromTemplate(m_parent ? m_parent->m_hWnd : nullptr);
}

INT_PTR CDialog::DoModal() {
    HWND owner = m_parent ? m_parent->m_hWnd : nullptr;
    m_endModal = false;
    m_modalResult = -1;
    if (!CreateFromTemplate(owner)) return -1;
    bool ownerDisabled = owner && IsWindowEnabled(owner);
    if (ownerDisabled) EnableWindow(owner, FALSE);
    m_inModalLoop = true;
    if (!m_endModal && m_hWnd) ShowWindow(SW_SHOWNORMAL);
    RunModalLoop();
    m_inModalLoop = false;
    if (ownerDisabled) EnableWindow(owner, TRUE);
    if (owner && m_hWnd && GetActiveWindow() == m_hWnd) SetActiveWindow(owner);
    if (m_hWnd) DestroyWindow();
    return m_modalResult;
}

void CDialog::RunModalLoop() {
    MSG msg;
    while (!m_endModal && m_hWnd) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // WM_QUIT belongs to the outermost loop: hand it on and leave.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        PumpMessage(msg, nullptr);
    }
}

void CDialog::EndDialog(INT_PTR result) {
    m_modalResult = result;
    m_endModal = true;
    if (m_hWnd) {
        ShowWindow(SW_HIDE);
        // Wakes the modal loop in case the queue is empty.
        Post(WM_NULL);
    }
}

BOOL CDialog::UpdateData(BOOL save) {
    if (!m_hWnd) return FALSE;
    CDataExchange dx(this, save != FALSE);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialog::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDOK && (code == BN_CLICKED || control == nullptr)) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL && (code == BN_CLICKED || control == nullptr)) {
        OnCancel();
        return true;
    }
    return false;
}

bool CDialog::Reflect(HWND control, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (!control || control == m_hWnd) return false;
    CWnd* child = FromHandle(control);
    return child && child->OnReflect(msg, wParam, lParam, result);
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        if (Reflect(reinterpret_cast<HWND>(lParam), msg, wParam, lParam, result)) return result;
        if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return 0;
        break;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header && Reflect(header->hwndFrom, msg, wParam, lParam, result)) return result;
        if (header && OnNotify(header, result)) return result;
        break;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        if (Reflect(reinterpret_cast<HWND>(lParam), msg, wParam, lParam, result)) return result;
        break;
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return 0;
    default:
        break;
    }
    return Default(msg, wParam, lParam);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (!m_hWnd || (GetWindowLongW(m_hWnd, GWL_STYLE) & WS_CHILD)) return FALSE;
    bool input = (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) ||
                 (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST);
    if (!input) return FALSE;
    if (msg->hwnd != m_hWnd && !IsChild(m_hWnd, msg->hwnd)) return FALSE;
    return IsDialogMessageW(m_hWnd, msg);
}

INT_PTR CALLBACK CDialog::StaticDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    // Only WM_INITDIALOG is ours here: from then on the subclass sees every message
    // first, and the system's dialog handling reaches this procedure through Default().
    if (msg != WM_INITDIALOG) return FALSE;
    auto* self = reinterpret_cast<CDialog*>(lParam);
    if (!self || !self->SubclassWindow(hwnd)) return TRUE;
    try {
        return self->WindowProc(msg, wParam, lParam);
    } catch (const std::exception& e) {
        LogWindowProcException(msg, e.what());
    } catch (...) {
        LogWindowProcException(msg, "unknown exception");
    }
    return TRUE;
}
