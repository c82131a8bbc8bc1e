#pragma once
#include <windows.h>

// A menu loaded from the resources; destroyed with the object. Sub-menus handed out
// by GetSubMenu belong to it.
class CMenu {
public:
    CMenu() = default;
    ~CMenu() { Destroy(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    bool Load(UINT id);
    void Destroy();
    HMENU GetSubMenu(int position) const { return m_menu ? ::GetSubMenu(m_menu, position) : nullptr; }
    HMENU m_menu = nullptr;
};

// Shows `popup` at a screen point, owned by `owner`: the chosen command reaches the
// owner as WM_COMMAND. Returns when the menu closes.
BOOL TrackPopupMenuAt(HMENU popup, UINT flags, POINT point, HWND owner);
