#pragma once
#include <windows.h>

#include "classlib/Dialog.h"
#include "editor/SelectRegionWidget.h"
#include "foundation/WinHandles.h"

// What both editor panels share as windows: the background bitmap (its size is the
// panel's), painting it with the buttons on top, the 10 ms hover timer, clicks on
// release, and Enter/Escape ignored. A panel class calls Create() at the end of its own
// constructor, so that its OnInitDialog runs.
class CEditorPanel : public CDialog, public CSelectRegionWidget {
public:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    CEditorPanel(UINT templateId, UINT backgroundId, CWnd* editor);

    // Loads the background, sizes the panel to it (hidden, topmost), starts timer 0.
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}

    // Draws the buttons over the background (memory context).
    virtual void DrawButtons(HDC dc) = 0;
    // A left button release at a client point.
    virtual void OnLButtonUp(int x, int y) = 0;

    SIZE m_backgroundSize{};

private:
    void OnPaint();

    UINT m_backgroundId;
    UniqueBitmap m_background;
};
