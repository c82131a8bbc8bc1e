#pragma once
#include <windows.h>

#include "classlib/Wnd.h"
#include "foundation/WinHandles.h"

class CDataExchange;

// A dialog from a template (a resource id, or a template in memory). Modal dialogs run
// our own modal loop (RunModalLoop over PumpMessage), never DialogBoxParam: the loop
// keeps routing thread messages to the application and PreTranslateMessage through the
// window tree, which a system modal loop would not. Modeless dialogs (child pages,
// floating panels) are made with Create.
//
// The dialog window is subclassed at WM_INITDIALOG, so WindowProc sees every later
// message and returns results directly; Default() runs the system's dialog handling.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    // `tmpl` must stay valid until the window exists.
    explicit CDialog(const DLGTEMPLATE* tmpl, CWnd* parent = nullptr);

    // Creates the dialog disabled-owner style, shows it (a dialog may keep itself hidden
    // through WM_WINDOWPOSCHANGING), runs the modal loop until EndDialog and destroys
    // the window. Returns the EndDialog result, or -1 when the dialog cannot be made.
    virtual INT_PTR DoModal();
    // Modeless: creates the window (visible only when the template says so).
    bool Create(CWnd* parent);
    // Ends the modal loop with `result` (after the current message) and hides the dialog.
    void EndDialog(INT_PTR result);
    bool IsInModalLoop() const { return m_inModalLoop; }

    // Loads (save false) or saves (save true) the members through DoDataExchange.
    BOOL UpdateData(BOOL save = TRUE);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Top-level dialogs run keyboard navigation (IsDialogMessage) for their controls;
    // child dialogs leave it to their top-level dialog.
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    // Chooses the template resource before the window is made.
    void SetTemplate(UINT templateId) {
        m_templateId = templateId;
        m_template = nullptr;
    }
    virtual BOOL OnInitDialog();         // loads the members (UpdateData(FALSE)); TRUE: default focus
    virtual void OnOK();                 // saves the members, EndDialog(IDOK)
    virtual void OnCancel();             // EndDialog(IDCANCEL)
    virtual void DoDataExchange(CDataExchange* dx) {}
    // WM_COMMAND after reflection; true when handled. The default routes IDOK and IDCANCEL.
    virtual bool OnCommand(WORD id, WORD code, HWND control);
    // WM_NOTIFY after reflection; true when handled, with `result`.
    virtual bool OnNotify(NMHDR* header, LRESULT& result) { return false; }
    virtual void OnTimer(UINT_PTR id) {}

private:
    bool CreateFromTemplate(HWND parent);
    void RunModalLoop();
    static INT_PTR CALLBACK StaticDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    bool Reflect(HWND control, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    UINT m_templateId = 0;
    const DLGTEMPLATE* m_template = nullptr;   // not owned
    CWnd* m_parent = nullptr;                  // not owned
    bool m_inModalLoop = false;
    bool m_endModal = false;
    INT_PTR m_modalResult = -1;
};

// The class library's extended dialog: a dialog that can paint its own background
// colour (behind its labels, check boxes, radio buttons and group boxes too) and put one
// font on itself and every child, as the settings pages do.
class CDialogEx : public CDialog {
public:
    using CDialog::CDialog;
    ~CDialogEx() override;

    // The background of the dialog and of its static-coloured controls from now on.
    void SetBackgroundColor(COLORREF color);
    // A font of `tenthsOfPoint` (110: 11 pt) with `face`, set (with redraw) on the dialog
    // and every direct child window. The dialog owns the font.
    void SetPageFont(const wchar_t* face, int tenthsOfPoint);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    UniqueBrush m_backgroundBrush;   // empty: the system's colours
    COLORREF m_backgroundColor = 0;
    UniqueFont m_pageFont;
};
