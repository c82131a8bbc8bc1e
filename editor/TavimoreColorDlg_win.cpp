#include "editor/TavimoreColorDlg.h"

BOOL CTavimoreColorDlg::OnInitDialog(HWND dialog) {
    CColorDialog::OnInitDialog(dialog);
    if (m_layout) {
        POINT at = m_layout->GetPosition(dialog);
        SetWindowPos(dialog, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOACTIVATE | SWP_NOSIZE);
    }
    return TRUE;
}
