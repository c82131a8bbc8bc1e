#include "app/ProgressDlg.h"

#include <commctrl.h>

#include <vector>

namespace {

// A hidden copy of the template tells its size exactly as Windows lays it out.
INT_PTR CALLBACK MeasureProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

SIZE GetDialogTemplateSize(UINT templateId) {
    SIZE size = {0, 0};
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(templateId), reinterpret_cast<LPCWSTR>(RT_DIALOG));
    if (!info) return size;
    HGLOBAL loaded = LoadResource(module, info);
    DWORD bytes = SizeofResource(module, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || bytes < sizeof(DLGTEMPLATE)) return size;
    // Copy the template so that its visible style can be taken away.
    std::vector<BYTE> copy(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + bytes);
    bool extended = bytes >= 4 && copy[0] == 1 && copy[1] == 0 && copy[2] == 0xFF && copy[3] == 0xFF;
    size_t styleOffset = extended ? 12 : 0;
    if (copy.size() < styleOffset + 4) return size;
    DWORD style;
    memcpy(&style, &copy[styleOffset], 4);
    style &= ~WS_VISIBLE;
    memcpy(&copy[styleOffset], &style, 4);
    HWND window = CreateDialogIndirectParamW(module, reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()), nullptr,
                                             MeasureProc, 0);
    if (!window) return size;
    RECT rect;
    if (GetWindowRect(window, &rect)) size = {rect.right - rect.left, rect.bottom - rect.top};
    DestroyWindow(window);
    return size;
}

CProgressDlg::CProgressDlg(POINT position, std::wstring text, CWnd* parent, bool marquee, bool cancelEnabled)
    : CDialog(IDD_PROGRESS, parent),
      m_position(position),
      m_text(std::move(text)),
      m_marquee(marquee),
      m_cancelEnabled(cancelEnabled) {}

CProgressDlg::~CProgressDlg() {
    // The window goes first; the font (a member) after it.
    if (m_hWnd) DestroyWindow();
}

BOOL CProgressDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowLongPtrW(m_hWnd, GWL_STYLE, WS_POPUP);
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, WS_EX_TOPMOST);
    m_progress = GetDlgItem(IDC_PROGRESS_BAR);
    if (m_progress) {
        SendMessageW(m_progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendMessageW(m_progress, PBM_SETPOS, static_cast<WPARAM>(m_startPosition), 0);
        if (m_marquee) {
            SetWindowLongPtrW(m_progress, GWL_STYLE, GetWindowLongPtrW(m_progress, GWL_STYLE) | PBS_MARQUEE);
            SendMessageW(m_progress, PBM_SETMARQUEE, TRUE, 1);
        }
    }
    if (m_position.x >= 0 && m_position.y >= 0) {
        SetWindowPos(m_hWnd, HWND_TOPMOST, m_position.x, m_position.y, 0, 0,
                     SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    } else {
        SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED);
    }
    if (!m_hidden) SetForegroundWindow(m_hWnd);

    const int height = -MulDiv(11, GetDeviceCaps(WindowDC(nullptr).get(), LOGPIXELSY), 72);
    m_font.reset(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Calibri"));
    if (m_font) {
        const WPARAM font = reinterpret_cast<WPARAM>(m_font.get());
        Send(WM_SETFONT, font, FALSE);
        for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            SendMessageW(child, WM_SETFONT, font, FALSE);
        }
    }
    if (HWND text = GetDlgItem(-1)) SetWindowTextW(text, m_text.c_str());
    if (HWND cancel = GetDlgItem(IDCANCEL)) EnableWindow(cancel, m_cancelEnabled);
    return TRUE;
}

void CProgressDlg::SetPosition(int percent) {
    if (m_progress) {
        SendMessageW(m_progress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    } else if (!m_hWnd) {
        m_startPosition = percent;
    }
}

int CProgressDlg::Position() const {
    return m_progress ? static_cast<int>(SendMessageW(m_progress, PBM_GETPOS, 0, 0)) : 0;
}

void CProgressDlg::FinishAfter(INT_PTR result, UINT delayMs) {
    m_finishResult = result;
    if (delayMs == 0 || !m_hWnd) {
        EndDialog(result);
        return;
    }
    SetTimer(kFinishTimer, delayMs);
}

void CProgressDlg::OnTimer(UINT_PTR id) {
    if (id != kFinishTimer) return;
    KillTimer(kFinishTimer);
    EndDialog(m_finishResult);
}

BOOL CProgressDlg::PreTranslateMessage(MSG* msg) {
    if ((msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) && msg->wParam == VK_RETURN) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

LRESULT CProgressDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_WINDOWPOSCHANGING && m_hidden) {
        reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
