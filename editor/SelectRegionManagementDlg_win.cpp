#include "editor/SelectRegionManagementDlg.h"

#include <windowsx.h>

#include "editor/EditorMessages.h"
#include "editor/PanelPaint_win.h"
#include "foundation/StringTable.h"
#include "resources/resource.h"

CSelectRegionManagementDlg::CSelectRegionManagementDlg(CWnd* editor)
    : CDialog(IDD_SELECT_REGION_MANAGEMENT, editor),
      CSelectRegionWidget(this),
      m_upload(IDP_UPLOAD, IDP_UPLOAD_HOVER, 0, 0, 2),
      m_copy(IDP_COPY, IDP_COPY_HOVER, 0, 0, 42),
      m_save(IDP_SAVE, IDP_SAVE_HOVER, 0, 0, 82),
      m_close(IDP_CLOSE, IDP_CLOSE_HOVER, 0, 0, 122) {
    Create(editor);
}

BOOL CSelectRegionManagementDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_background = LoadPanelBitmap(IDB_MANAGEMENT_PANEL, m_backgroundSize);
    FitPanelHidden(m_hWnd, m_backgroundSize);
    const int width = m_backgroundSize.cx;
    const struct {
        int top, bottom;
        UINT text;
    } tips[] = {{2, 42, IDS_TIP_UPLOAD}, {42, 82, IDS_TIP_COPY}, {82, 122, IDS_TIP_SAVE}, {122, 160, IDS_TIP_CLOSE}};
    for (const auto& tip : tips) {
        RECT rect = {0, tip.top, width, tip.bottom};
        AddToolTip(rect, StringTable::Instance().GetString(tip.text).c_str());
    }
    SetTimer(0, 10);
    return TRUE;
}

void CSelectRegionManagementDlg::OnTimer(UINT_PTR id) {
    if (id != 0) return;
    POINT pt = CursorInClient(m_hWnd);
    for (ImageButton* button : {&m_upload, &m_copy, &m_save, &m_close}) {
        if (button->HitTest(pt.x, pt.y)) {
            button->ShowHover();
        } else {
            button->ShowNormal();
        }
    }
    Invalidate(FALSE);
}

void CSelectRegionManagementDlg::OnPaint() {
    PaintPanel(m_hWnd, m_background, m_backgroundSize, [this](HDC dc) {
        for (ImageButton* button : {&m_upload, &m_copy, &m_save, &m_close}) button->Draw(dc);
    });
}

void CSelectRegionManagementDlg::OnLButtonUp(int x, int y) {
    HWND editor = ::GetParent(m_hWnd);
    if (!editor) return;
    const struct {
        ImageButton* button;
        UINT message;
    } order[] = {{&m_close, WM_APP_EDITOR_CANCEL},
                 {&m_save, WM_APP_EDITOR_SAVE},
                 {&m_upload, WM_APP_EDITOR_ACCEPT},
                 {&m_copy, WM_APP_EDITOR_COPY}};
    for (const auto& entry : order) {
        if (entry.button->HitTest(x, y)) {
            PostMessageW(editor, entry.message, 0, 0);
            break;
        }
    }
}

LRESULT CSelectRegionManagementDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_LBUTTONUP:
        OnLButtonUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        break;
    case WM_DESTROY:
        KillTimer(0);
        break;
    case WM_NCDESTROY:
        if (m_background) {
            DeleteObject(m_background);
            m_background = nullptr;
        }
        break;
    default:
        break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
