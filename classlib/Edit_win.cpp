#include "classlib/Edit.h"

#include <vector>

std::wstring CEdit::GetText() const {
    int length = GetWindowTextLengthW(m_hWnd);
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    int copied = GetWindowTextW(m_hWnd, buffer.data(), length + 1);
    return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

LRESULT CCustomEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETCURSOR) {
        ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    return CEdit::WindowProc(msg, wParam, lParam);
}

void CEditTrans::InvalidateBackground() {
    HWND parent = GetParent(m_hWnd);
    if (!m_hWnd || !parent) return;
    RECT rect;
    GetWindowRect(m_hWnd, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    InflateRect(&rect, -2, -2);
    InvalidateRect(parent, &rect, FALSE);
}

bool CEditTrans::OnReflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORSTATIC) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        m_brush.reset();
        HBRUSH brush;
        if (m_backColor == kTransparent) {
            brush = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
            SetBkMode(dc, TRANSPARENT);
        } else {
            m_brush.reset(CreateSolidBrush(m_backColor));
            brush = m_brush.get();
            SetBkColor(dc, m_backColor);
        }
        SetTextColor(dc, m_textColor);
        result = reinterpret_cast<LRESULT>(brush);
        return true;
    }
    if (msg == WM_COMMAND) {
        WORD code = HIWORD(wParam);
        if (code == EN_UPDATE || code == EN_KILLFOCUS) {
            InvalidateBackground();
            result = 0;
            return true;
        }
    }
    return false;
}

LRESULT CEditTrans::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_LBUTTONDOWN:
        InvalidateBackground();
        break;
    case WM_ERASEBKGND:
        return FALSE;
    case WM_KILLFOCUS: {
        HideCaret(m_hWnd);
        LRESULT result = CEdit::WindowProc(msg, wParam, lParam);
        HWND parent = GetParent(m_hWnd);
        if (parent) SendMessageW(parent, WM_KILLFOCUS, 0, 0);
        return result;
    }
    case WM_MOUSEMOVE:
        if (m_dragging) {
            HWND parent = GetParent(m_hWnd);
            if (parent) SendMessageW(parent, WM_MOUSEMOVE, wParam, lParam);
            return 0;
        }
        break;
    case WM_MOUSEWHEEL: {
        // The editor (the text box's parent) changes the text size on the wheel.
        HWND parent = GetParent(m_hWnd);
        HWND editor = parent ? GetParent(parent) : nullptr;
        if (editor) SendMessageW(editor, WM_MOUSEWHEEL, wParam, lParam);
        break;
    }
    default:
        break;
    }
    return CEdit::WindowProc(msg, wParam, lParam);
}

BOOL CEditTrans::PreTranslateMessage(MSG* msg) {
    if (msg->hwnd != m_hWnd) return FALSE;
    if (msg->message == WM_KEYDOWN && msg->wParam == 'Z' && GetKeyState(VK_CONTROL) < 0) {
        // Ctrl+Z closes the box (the editor undoes) rather than undoing in the edit.
        HWND parent = GetParent(m_hWnd);
        if (parent) ::ShowWindow(parent, SW_HIDE);
        return TRUE;
    }
    if ((msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) && msg->wParam == VK_RETURN) {
        if (m_onReturn) m_onReturn(GetText() + L"\r\n");
    }
    return FALSE;
}
