#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "classlib/Wnd.h"
#include "foundation/WinHandles.h"

// An edit control of a dialog (attach with SubclassDlgItem or DDX_Control).
class CEdit : public CWnd {
public:
    std::wstring GetText() const;
    void SetWindowText(const wchar_t* text) { SetText(text); }
    void SetSel(int start, int end) { Send(EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end)); }
};

// An edit that shows the hand cursor (the hotkey fields).
class CCustomEdit : public CEdit {
public:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// The transparent multi-line edit of the editor's text box. With m_backColor
// kTransparent the text is drawn straight over whatever the parent painted; every
// change invalidates the parent's picture under the edit, so no stale glyphs remain.
// The parent dialog must reflect WM_CTLCOLOREDIT and the EN_ notifications (CDialog does).
class CEditTrans : public CEdit {
public:
    static constexpr COLORREF kTransparent = static_cast<COLORREF>(-1);

    CEditTrans() = default;

    COLORREF m_textColor = RGB(0, 0, 0);
    COLORREF m_backColor = kTransparent;
    UniqueBrush m_brush;        // the background brush last handed out
    bool m_dragging = false;    // mouse moves go to the parent while set

    // Return (or Alt+Return) is about to insert a new line: called with the edit's text
    // followed by "\r\n", so the owner can refit before the edit grows. Optional.
    std::function<void(const std::wstring&)> m_onReturn;

    // Invalidates (without erasing) the parent's client area under the edit, shrunk by
    // 2 px on every side.
    void InvalidateBackground();

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    bool OnReflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
