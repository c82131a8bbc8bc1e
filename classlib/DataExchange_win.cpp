#include "classlib/DataExchange.h"

#include "classlib/Dialog.h"

void DDX_Check(CDataExchange* dx, int id, int& value) {
    HWND item = dx->m_dialog->GetDlgItem(id);
    if (!item) return;
    if (dx->m_saveAndValidate) {
        value = static_cast<int>(SendMessageW(item, BM_GETCHECK, 0, 0));
    } else {
        SendMessageW(item, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    }
}

void DDX_Text(CDataExchange* dx, int id, std::wstring& value) {
    HWND item = dx->m_dialog->GetDlgItem(id);
    if (!item) return;
    if (dx->m_saveAndValidate) {
        int length = GetWindowTextLengthW(item);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        int copied = GetWindowTextW(item, &text[0], length + 1);
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
        value = text;
    } else {
        SetWindowTextW(item, value.c_str());
    }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd) return;
    control.SubclassWindow(dx->m_dialog->GetDlgItem(id));
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
    HWND first = dx->m_dialog->GetDlgItem(id);
    if (!first) return;
    // Loading an index outside the group (-1) leaves every button unchecked.
    if (dx->m_saveAndValidate) value = -1;
    int index = 0;
    for (HWND item = first; item; index++) {
        if (dx->m_saveAndValidate) {
            if (SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
        } else {
            SendMessageW(item, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        HWND next = GetWindow(item, GW_HWNDNEXT);
        if (!next || (GetWindowLongW(next, GWL_STYLE) & WS_GROUP)) break;
        item = next;
    }
}
