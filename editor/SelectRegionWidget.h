#pragma once
#include <windows.h>

#include "classlib/Wnd.h"

// The part both editor panels share: tooltips, showing at a point, the window size.
class CSelectRegionWidget {
public:
    explicit CSelectRegionWidget(CWnd* panel) : m_panel(panel) {}
    virtual ~CSelectRegionWidget();

    // One topmost tooltip window per tool (rectangle in the panel's client coordinates).
    void AddToolTip(const RECT& rect, const wchar_t* text);
    // Topmost, shown, not resized.
    void ShowAt(int x, int y);
    // The panel's window size.
    SIZE GetSize() const;

protected:
    CWnd* m_panel;   // the panel itself
    HWND m_toolTips[8] = {};
    int m_toolTipCount = 0;
};
