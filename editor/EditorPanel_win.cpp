#include "editor/EditorPanel.h"

#include <windowsx.h>

#include "editor/PanelPaint_win.h"

CEditorPanel::CEditorPanel(UINT templateId, UINT backgroundId, CWnd* editor)
    : CDialog(templateId, editor), CSelectRegionWidget(this), m_backgroundId(backgroundId) {}

BOOL CEditorPanel::OnInitDialog() {
    CDialog::OnInitDialog();
    m_background = LoadPanelBitmap(m_backgroundId, m_backgroundSize);
    FitPanelHidden(m_hWnd, m_backgroundSize);
    SetTimer(0, 10);
    return TRUE;
}

void CEditorPanel::OnPaint() {
    PaintPanel(m_hWnd, m_background.get(), m_backgroundSize, [this](HDC dc) { DrawButtons(dc); });
}

LRESULT CEditorPanel::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_MOUSEACTIVATE:
        // A click on a panel leaves the editor (or its text box) active: the keys stay
        // with the editor and a text being typed is committed by the command itself.
        return MA_NOACTIVATE;
    case WM_LBUTTONUP:
        OnLButtonUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        break;
    case WM_DESTROY:
        KillTimer(0);
        break;
    case WM_NCDESTROY:
        m_background.reset();
        break;
    default:
        break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
