#include "classlib/Dialog.h"

CDialogEx::~CDialogEx() {
    // The window uses the brush and the font until it is gone (the members go after this).
    if (m_hWnd) DestroyWindow();
}

void CDialogEx::SetBackgroundColor(COLORREF color) {
    UniqueBrush brush(CreateSolidBrush(color));
    if (!brush) return;
    m_backgroundBrush = std::move(brush);
    m_backgroundColor = color;
    if (m_hWnd) Invalidate(TRUE);
}

void CDialogEx::SetPageFont(const wchar_t* face, int tenthsOfPoint) {
    if (!m_hWnd) return;
    const int height = -MulDiv(tenthsOfPoint, GetDeviceCaps(WindowDC(nullptr).get(), LOGPIXELSY), 720);
    LOGFONTW font = {};
    font.lfHeight = height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    HFONT made = CreateFontIndirectW(&font);
    if (!made) return;
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    // The old font is no longer selected anywhere.
    m_pageFont.reset(made);
}

LRESULT CDialogEx::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_backgroundBrush) {
        switch (msg) {
        case WM_CTLCOLORDLG:
            return reinterpret_cast<LRESULT>(m_backgroundBrush.get());
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            // A control that colours itself keeps its own colours.
            LRESULT result = 0;
            auto control = reinterpret_cast<HWND>(lParam);
            CWnd* child = control && control != m_hWnd ? FromHandle(control) : nullptr;
            if (child && child->OnReflect(msg, wParam, lParam, result)) return result;
            SetBkColor(reinterpret_cast<HDC>(wParam), m_backgroundColor);
            return reinterpret_cast<LRESULT>(m_backgroundBrush.get());
        }
        default:
            break;
        }
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
