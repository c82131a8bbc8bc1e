#include "editor/SelectRegionWidget.h"

#include <commctrl.h>

CSelectRegionWidget::~CSelectRegionWidget() {
    for (int i = 0; i < m_toolTipCount; ++i) {
        if (IsWindow(m_toolTips[i])) DestroyWindow(m_toolTips[i]);
    }
}

void CSelectRegionWidget::AddToolTip(const RECT& rect, const wchar_t* text) {
    if (!m_panel || !m_panel->m_hWnd || m_toolTipCount >= static_cast<int>(sizeof m_toolTips / sizeof m_toolTips[0]))
        return;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_panel->m_hWnd, nullptr,
                               instance, nullptr);
    if (!tip) return;
    SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    TOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;   // understood by every comctl32 version
    info.uFlags = TTF_SUBCLASS;
    info.hwnd = m_panel->m_hWnd;
    info.rect = rect;
    info.hinst = instance;
    info.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    m_toolTips[m_toolTipCount++] = tip;
}

void CSelectRegionWidget::ShowAt(int x, int y) {
    if (m_panel && m_panel->m_hWnd) SetWindowPos(m_panel->m_hWnd, HWND_TOPMOST, x, y, 0, 0, SWP_SHOWWINDOW | SWP_NOSIZE);
}

SIZE CSelectRegionWidget::GetSize() const {
    SIZE size = {0, 0};
    RECT rect;
    if (m_panel && m_panel->m_hWnd && GetWindowRect(m_panel->m_hWnd, &rect)) {
        size.cx = rect.right - rect.left;
        size.cy = rect.bottom - rect.top;
    }
    return size;
}
