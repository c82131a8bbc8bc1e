#pragma once
#include <windows.h>

#include <string>

#include "classlib/Dialog.h"
#include "foundation/WinHandles.h"

// Template 149: the small topmost window that shows an upload's progress.
constexpr UINT IDD_PROGRESS = 149;
constexpr int IDC_PROGRESS_BAR = 1021;

// The size in pixels of a dialog template of the executable (its dialog units measured
// with the template's own font); {0, 0} when the template cannot be loaded.
SIZE GetDialogTemplateSize(UINT templateId);

// The upload's progress window: a bar (0..100), a line of text and a Cancel button.
// Enter never closes it; Cancel ends it with IDCANCEL. With `hidden` it is never shown
// (silent mode): its modal loop then only keeps the UI thread's messages flowing.
class CProgressDlg : public CDialog {
public:
    // A negative coordinate in `position` leaves the template's place.
    CProgressDlg(POINT position, std::wstring text, CWnd* parent, bool marquee, bool cancelEnabled);
    ~CProgressDlg() override;

    void SetHidden(bool hidden) { m_hidden = hidden; }
    // Before the window exists, the position it starts with (so that it never shows 0
    // when the first progress is already known).
    void SetPosition(int percent);
    int Position() const;
    // Ends the window with `result` after `delayMs` (the bar stays visible meanwhile).
    void FinishAfter(INT_PTR result, UINT delayMs);

    HWND m_progress = nullptr;
    POINT m_position;
    std::wstring m_text;
    bool m_marquee;
    bool m_cancelEnabled;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnTimer(UINT_PTR id) override;

private:
    static constexpr UINT_PTR kFinishTimer = 1;
    bool m_hidden = false;
    int m_startPosition = 0;
    INT_PTR m_finishResult = IDCANCEL;
    UniqueFont m_font;
};
