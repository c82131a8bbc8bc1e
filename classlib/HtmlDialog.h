#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "classlib/Dialog.h"
#include "foundation/WinHandles.h"

// Stand-in for the class library's HTML dialog. Wine here has no embedded browser, so
// the page is not loaded: a derived class paints the page's content with GDI
// (PaintPage) and adds its clickable elements as real buttons. The page's element ids
// map to control ids: "ButtonOK" is IDOK, "ButtonCancel" is IDCANCEL; a click calls
// OnButtonOK or OnButtonCancel (Enter and Esc do the same).
class CDHtmlDialog : public CDialog {
public:
    CDHtmlDialog(UINT templateId, UINT htmlResourceId, CWnd* parent = nullptr);
    ~CDHtmlDialog() override;

    UINT HtmlResourceId() const { return m_htmlResourceId; }

    // A page element drawn as a flat button.
    struct PageButton {
        int id = IDOK;
        std::wstring text;
        RECT rect{};
        COLORREF back = RGB(255, 255, 255);
        COLORREF fore = RGB(0, 0, 0);
        int fontPx = 14;
        bool drawCross = false;   // the close button: a cross drawn with lines (no glyph needed)
    };

protected:
    // Paints the page's background and texts; buttons paint themselves.
    virtual void PaintPage(HDC dc, const RECT& client) = 0;
    virtual void OnButtonOK() {}
    virtual void OnButtonCancel() {}

    HWND AddPageButton(const PageButton& button);
    // A pixel-height font of the page ("Verdana"; Wine maps it to what it has). Owned
    // by the dialog.
    HFONT PageFont(int px);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    void DrawButton(const DRAWITEMSTRUCT& item);

    UINT m_htmlResourceId;
    std::vector<PageButton> m_buttons;
    std::vector<std::pair<int, UniqueFont>> m_fonts;
};
