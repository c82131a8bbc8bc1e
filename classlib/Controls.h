#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "classlib/Wnd.h"

// A combo box of a dialog (attached with DDX_Control or SubclassDlgItem).
class CComboBox : public CWnd {
public:
    int AddString(const wchar_t* text) {
        return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int GetCount() { return static_cast<int>(Send(CB_GETCOUNT)); }
    int GetCurSel() { return static_cast<int>(Send(CB_GETCURSEL)); }
    void SetCurSel(int index) { Send(CB_SETCURSEL, static_cast<WPARAM>(index)); }
    void ResetContent() { Send(CB_RESETCONTENT); }
    // The text of the selected item (the window text of a drop-down list).
    std::wstring GetWindowText() const;
    std::wstring GetItemText(int index);
};

// A trackbar ("slider") of a dialog.
class CSliderCtrl : public CWnd {
public:
    void SetRange(int low, int high, BOOL redraw = FALSE) {
        Send(TBM_SETRANGEMIN, FALSE, low);
        Send(TBM_SETRANGEMAX, redraw, high);
    }
    int GetRangeMin() { return static_cast<int>(Send(TBM_GETRANGEMIN)); }
    int GetRangeMax() { return static_cast<int>(Send(TBM_GETRANGEMAX)); }
    int GetPos() { return static_cast<int>(Send(TBM_GETPOS)); }
    void SetPos(int pos, BOOL redraw = TRUE) { Send(TBM_SETPOS, redraw, pos); }
};

// The window text of any window.
std::wstring GetWindowTextString(HWND window);
