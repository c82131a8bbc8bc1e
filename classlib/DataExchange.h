#pragma once
#include <windows.h>

#include <string>

class CDialog;
class CWnd;

// One pass of data exchange between a dialog's controls and its members.
// Save true: controls to members; false: members to controls.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool save) : m_dialog(dialog), m_saveAndValidate(save) {}
    CDialog* m_dialog;   // not owned
    bool m_saveAndValidate;
};

// A check box or radio button and an int (BST_UNCHECKED 0, BST_CHECKED 1).
void DDX_Check(CDataExchange* dx, int id, int& value);
// A group of radio buttons that starts at `id` (the first button of the group, up to
// the next WS_GROUP control) and the index of the checked one; -1 when none is checked.
// Loading -1 unchecks every button of the group.
void DDX_Radio(CDataExchange* dx, int id, int& value);
// An edit's text and a wide string.
void DDX_Text(CDataExchange* dx, int id, std::wstring& value);
// Attaches `control` to the dialog item the first time (subclassing it).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
