#include "app/HelpTooltip.h"

void HelpTooltip::Create(HWND owner, int controlId, std::wstring text) {
    HWND help = GetDlgItem(owner, controlId);
    if (!help) return;
    m_owner = owner;
    m_controlId = controlId;
    RECT rect;
    GetWindowRect(help, &rect);
    MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&rect), 2);
    m_tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!m_tooltip) return;
    SetWindowPos(m_tooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    m_text = std::move(text);
    m_toolInfo = {};
    m_toolInfo.cbSize = TTTOOLINFOW_V2_SIZE;
    m_toolInfo.uFlags = TTF_SUBCLASS;
    m_toolInfo.hwnd = owner;
    m_toolInfo.uId = 0;
    m_toolInfo.rect = rect;
    m_toolInfo.hinst = GetModuleHandleW(nullptr);
    m_toolInfo.lpszText = const_cast<wchar_t*>(m_text.c_str());
    SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&m_toolInfo));
    SendMessageW(m_tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
    SendMessageW(m_tooltip, TTM_SETMAXTIPWIDTH, 0, 240);
}

void HelpTooltip::Activate(bool on) {
    SendMessageW(m_tooltip, TTM_TRACKACTIVATE, on ? TRUE : FALSE, reinterpret_cast<LPARAM>(&m_toolInfo));
    m_shown = on ? 1 : 0;
}

void HelpTooltip::OnHoverTimer(bool windowShown) {
    if (!m_tooltip) return;
    HWND help = GetDlgItem(m_owner, m_controlId);
    RECT rect = {};
    if (help) GetWindowRect(help, &rect);
    POINT cursor = {};
    GetCursorPos(&cursor);
    int padding = 2 * GetSystemMetrics(92 /* SM_CXPADDEDBORDER */);
    cursor.x -= padding;
    cursor.y -= padding;
    bool inside = windowShown && help && cursor.x > rect.left && cursor.x < rect.right && cursor.y > rect.top &&
                  cursor.y < rect.bottom;
    if (inside) {
        if (!m_shown) Activate(true);
        m_shown = 1;
    } else if (m_shown) {
        Activate(false);
    }
}

void HelpTooltip::Show() {
    if (!m_tooltip || m_shown) return;
    Activate(true);
}
