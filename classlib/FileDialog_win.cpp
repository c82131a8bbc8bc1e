#include "classlib/FileDialog.h"

#include <exception>

#include "classlib/LayoutManager.h"
#include "classlib/Wnd.h"

CFileDialog::CFileDialog(bool open, const wchar_t* defaultExt, const wchar_t* fileName, DWORD flags,
                         const wchar_t* filter, HWND owner)
    : m_open(open), m_defaultExt(defaultExt ? defaultExt : L""), m_filter(filter ? filter : L""),
      m_flags(flags), m_owner(owner) {
    if (fileName) lstrcpynW(m_buffer, fileName, static_cast<int>(sizeof m_buffer / sizeof m_buffer[0]));
}

INT_PTR CFileDialog::DoModal() {
    std::wstring filter = m_filter;
    for (wchar_t& c : filter) {
        if (c == L'|') c = L'\0';
    }
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_owner;
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.lpstrFile = m_buffer;
    ofn.nMaxFile = static_cast<DWORD>(sizeof m_buffer / sizeof m_buffer[0]);
    ofn.lpstrInitialDir = m_initialDir.empty() ? nullptr : m_initialDir.c_str();
    ofn.nFilterIndex = m_filterIndex;
    ofn.lpstrDefExt = m_defaultExt.empty() ? nullptr : m_defaultExt.c_str();
    ofn.Flags = m_flags | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING;
    ofn.lpfnHook = &CFileDialog::HookProc;
    ofn.lCustData = reinterpret_cast<LPARAM>(this);
    BOOL ok = m_open ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn);
    m_path = ok ? m_buffer : L"";
    return ok ? IDOK : IDCANCEL;
}

UINT_PTR CALLBACK CFileDialog::HookProc(HWND child, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        if (msg == WM_INITDIALOG) {
            auto* ofn = reinterpret_cast<OPENFILENAMEW*>(lParam);
            SetWindowLongPtrW(child, DWLP_USER, static_cast<LONG_PTR>(ofn->lCustData));
        } else if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == CDN_INITDONE) {
            // The Explorer dialog has its final size only now: place it here.
            auto* self = reinterpret_cast<CFileDialog*>(GetWindowLongPtrW(child, DWLP_USER));
            if (self) self->OnInitDialog(GetParent(child));
        }
    } catch (const std::exception& e) {
        LogWindowProcException(msg, e.what());
    } catch (...) {
        LogWindowProcException(msg, "unknown exception");
    }
    return 0;
}

void CenterWindow(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    RECT area;
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &area);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    int x = area.left + ((area.right - area.left) - width) / 2;
    int y = area.top + ((area.bottom - area.top) - height) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CCenteredFileDialog::OnInitDialog(HWND dialog) {
    CenterWindow(dialog);
    return TRUE;
}

BOOL CPositionedFileDlg::OnInitDialog(HWND dialog) {
    if (m_layout) {
        POINT at = m_layout->GetPosition(dialog);
        SetWindowPos(dialog, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOACTIVATE | SWP_NOSIZE);
    }
    return TRUE;
}
