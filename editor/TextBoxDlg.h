#pragma once
#include <windows.h>

#include <string>

#include "classlib/Dialog.h"
#include "classlib/Edit.h"
#include "foundation/WinHandles.h"

// The editor's text tool: a small borderless popup over the frozen screen that shows
// the editor's picture behind it, a dashed frame and a transparent multi-line edit in
// the drawing colour, and grows and shrinks with its text. Hidden (not while dragged),
// it hands its text to the editor (WM_APP_EDITOR_TEXT_COMMIT); losing the focus asks
// the editor to close it (WM_APP_EDITOR_TEXT_CLOSE); a press on its frame starts a drag
// (WM_APP_EDITOR_TEXT_DRAG). The font is "Calibri" at g_editorTextSize.
class CTextBoxDlg : public CDialog {
public:
    explicit CTextBoxDlg(CWnd* editor);
    ~CTextBoxDlg() override;

    // Makes the font for the current text size (one per size), gives it to the box and
    // its children and refits to the edit's text.
    void SetEditorFont();
    // Sizes the box and the edit to `text` plus one spare line.
    void FitToText(const std::wstring& text);
    std::wstring GetText() const;

    CEditTrans m_edit;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    void OnPaint();
    HFONT FontForSize(int size);
    void SendToEditor(UINT msg);

    CWnd* m_editor;
    UniqueFont m_font;
    int m_fontSize = 0;
};
