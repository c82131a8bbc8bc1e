#include "classlib/Menu.h"

#include "foundation/Log.h"

bool CMenu::Load(UINT id) {
    Destroy();
    m_menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
    if (!m_menu) Log("CMenu::Load %u: failed, error %lu\n", id, GetLastError());
    return m_menu != nullptr;
}

void CMenu::Destroy() {
    if (m_menu) ::DestroyMenu(m_menu);
    m_menu = nullptr;
}

BOOL TrackPopupMenuAt(HMENU popup, UINT flags, POINT point, HWND owner) {
    if (!popup) return FALSE;
    return TrackPopupMenu(popup, flags, point.x, point.y, 0, owner, nullptr);
}
