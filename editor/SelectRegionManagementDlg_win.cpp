#include "editor/SelectRegionManagementDlg.h"

#include "editor/EditorMessages.h"
#include "editor/PanelPaint_win.h"
#include "foundation/StringTable.h"
#include "resources/resource.h"

CSelectRegionManagementDlg::CSelectRegionManagementDlg(CWnd* editor)
    : CEditorPanel(IDD_SELECT_REGION_MANAGEMENT, IDB_MANAGEMENT_PANEL, editor),
      m_upload(IDP_UPLOAD, IDP_UPLOAD_HOVER, 0, 0, 2),
      m_copy(IDP_COPY, IDP_COPY_HOVER, 0, 0, 42),
      m_save(IDP_SAVE, IDP_SAVE_HOVER, 0, 0, 82),
      m_close(IDP_CLOSE, IDP_CLOSE_HOVER, 0, 0, 122) {
    Create(editor);
}

BOOL CSelectRegionManagementDlg::OnInitDialog() {
    CEditorPanel::OnInitDialog();
    const int width = m_backgroundSize.cx;
    const struct {
        int top, bottom;
        UINT text;
    } tips[] = {{2, 42, IDS_TIP_UPLOAD}, {42, 82, IDS_TIP_COPY}, {82, 122, IDS_TIP_SAVE}, {122, 160, IDS_TIP_CLOSE}};
    for (const auto& tip : tips) {
        RECT rect = {0, tip.top, width, tip.bottom};
        AddToolTip(rect, StringTable::Instance().GetString(tip.text).c_str());
    }
    return TRUE;
}

void CSelectRegionManagementDlg::OnTimer(UINT_PTR id) {
    if (id != 0) return;
    POINT pt = CursorInClient(m_hWnd);
    bool changed = false;
    for (ImageButton* button : {&m_upload, &m_copy, &m_save, &m_close}) {
        const PxImage* before = button->m_current;
        if (button->HitTest(pt.x, pt.y)) {
            button->ShowHover();
        } else {
            button->ShowNormal();
        }
        changed = changed || button->m_current != before;
    }
    // Painted again only when a picture changed.
    if (changed) Invalidate(FALSE);
}

void CSelectRegionManagementDlg::DrawButtons(HDC dc) {
    for (ImageButton* button : {&m_upload, &m_copy, &m_save, &m_close}) button->Draw(dc);
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
