#pragma once
#include <windows.h>
#include <commctrl.h>

#include "classlib/Wnd.h"

// The tab control of a dialog (attached with DDX_Control).
class CTabCtrl : public CWnd {
public:
    void DeleteAllItems() { Send(TCM_DELETEALLITEMS); }
    void InsertItem(int index, const wchar_t* text) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(text);
        Send(TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }
    int GetItemCount() { return static_cast<int>(Send(TCM_GETITEMCOUNT)); }
    int GetCurSel() { return static_cast<int>(Send(TCM_GETCURSEL)); }
    void SetCurSel(int index) { Send(TCM_SETCURSEL, static_cast<WPARAM>(index)); }
};
