#include "editor/SelectRegionToolsDlg.h"

#include "editor/EditorMessages.h"
#include "editor/PanelPaint_win.h"
#include "foundation/StringTable.h"
#include "foundation/WinHandles.h"
#include "resources/resource.h"

CSelectRegionToolsDlg::CSelectRegionToolsDlg(COLORREF colour, CWnd* editor)
    : CEditorPanel(IDD_SELECT_REGION_TOOLS, IDB_TOOLS_PANEL, editor),
      m_arrow(IDP_ARROW, IDP_ARROW_HOVER, IDP_ARROW_ACTIVE, 2, 0),
      m_pen(IDP_PEN, IDP_PEN_HOVER, IDP_PEN_ACTIVE, 42, 0),
      m_rectangle(IDP_RECTANGLE, IDP_RECTANGLE_HOVER, IDP_RECTANGLE_ACTIVE, 82, 0),
      m_text(IDP_TEXT, IDP_TEXT_HOVER, IDP_TEXT_ACTIVE, 122, 0),
      m_blur(IDP_BLUR, IDP_BLUR_HOVER, IDP_BLUR_ACTIVE, 162, 0),
      m_colorButton(IDP_COLOR, IDP_COLOR_HOVER, 0, 202, 0),
      m_undo(IDP_UNDO, IDP_UNDO_HOVER, 0, 243, 0),
      m_color(colour) {
    m_selectMessages = {{&m_arrow, WM_APP_EDITOR_TOOL_ARROW},
                        {&m_pen, WM_APP_EDITOR_TOOL_PENCIL},
                        {&m_rectangle, WM_APP_EDITOR_TOOL_RECTANGLE},
                        {&m_text, WM_APP_EDITOR_TOOL_TEXT},
                        {&m_blur, WM_APP_EDITOR_TOOL_BLUR}};
    m_deselectMessages = {{&m_arrow, WM_APP_EDITOR_TOOL_ARROW_OFF},
                          {&m_pen, WM_APP_EDITOR_TOOL_PENCIL_OFF},
                          {&m_rectangle, WM_APP_EDITOR_TOOL_RECTANGLE_OFF},
                          {&m_text, WM_APP_EDITOR_TOOL_TEXT_OFF},
                          {&m_blur, WM_APP_EDITOR_TOOL_BLUR_OFF}};
    Create(editor);
}

BOOL CSelectRegionToolsDlg::OnInitDialog() {
    CEditorPanel::OnInitDialog();
    const int height = m_backgroundSize.cy;
    const struct {
        int left, right;
        UINT text;
    } tips[] = {{2, 40, IDS_TIP_ARROW},   {42, 82, IDS_TIP_PEN},    {82, 122, IDS_TIP_RECTANGLE},
                {122, 162, IDS_TIP_TEXT}, {162, 202, IDS_TIP_BLUR}, {202, 242, IDS_TIP_COLOR},
                {243, 283, IDS_TIP_UNDO}};
    for (const auto& tip : tips) {
        RECT rect = {tip.left, 0, tip.right, height};
        AddToolTip(rect, StringTable::Instance().GetString(tip.text).c_str());
    }
    return TRUE;
}

void CSelectRegionToolsDlg::SelectTool(ImageButton* button) {
    auto it = m_selectMessages.find(button);
    if (it == m_selectMessages.end()) return;
    HWND editor = ::GetParent(m_hWnd);
    if (editor) SendMessageW(editor, it->second, 0, 0);
    if (m_activeTool) m_activeTool->ShowNormal();
    m_activeTool = button;
    button->ShowActive();
    if (m_hWnd) Invalidate(FALSE);
}

void CSelectRegionToolsDlg::DeselectTool(ImageButton* button) {
    auto it = m_deselectMessages.find(button);
    if (it == m_deselectMessages.end()) return;
    HWND editor = ::GetParent(m_hWnd);
    if (editor) SendMessageW(editor, it->second, 0, 0);
    if (m_activeTool) m_activeTool->ShowNormal();
    m_activeTool = nullptr;
    if (m_hWnd) Invalidate(FALSE);
}

void CSelectRegionToolsDlg::SetColor(COLORREF colour) {
    m_color = colour;
    if (m_hWnd) Invalidate(FALSE);
}

void CSelectRegionToolsDlg::UpdateHover() {
    POINT pt = CursorInClient(m_hWnd);
    ImageButton* all[] = {&m_arrow, &m_pen, &m_rectangle, &m_text, &m_blur, &m_colorButton, &m_undo};
    for (ImageButton* button : all) {
        if (button != m_activeTool) button->ShowNormal();
    }
    for (ImageButton* button : all) {
        if (button != m_activeTool && button->HitTest(pt.x, pt.y)) button->ShowHover();
    }
    if (m_activeTool) m_activeTool->ShowActive();
}

void CSelectRegionToolsDlg::OnTimer(UINT_PTR id) {
    if (id != 0) return;
    ImageButton* all[] = {&m_arrow, &m_pen, &m_rectangle, &m_text, &m_blur, &m_colorButton, &m_undo};
    const PxImage* before[7];
    for (int i = 0; i < 7; ++i) before[i] = all[i]->m_current;
    UpdateHover();
    // Painted again only when a picture changed (the other changes invalidate at once).
    for (int i = 0; i < 7; ++i) {
        if (all[i]->m_current != before[i]) {
            Invalidate(FALSE);
            break;
        }
    }
}

void CSelectRegionToolsDlg::DrawButtons(HDC dc) {
    for (ImageButton* button : {&m_arrow, &m_pen, &m_rectangle, &m_text, &m_blur, &m_colorButton, &m_undo})
        button->Draw(dc);
    RECT swatch = {m_colorButton.m_x + 17, m_colorButton.m_y + 24, m_colorButton.m_x + 28, m_colorButton.m_y + 34};
    UniqueBrush brush(CreateSolidBrush(m_color));
    FillRect(dc, &swatch, brush.get());
}

void CSelectRegionToolsDlg::OnLButtonUp(int x, int y) {
    HWND editor = ::GetParent(m_hWnd);
    if (!editor) return;
    if (m_colorButton.HitTest(x, y)) SendMessageW(editor, WM_APP_EDITOR_PALETTE, 0, 0);
    if (m_undo.HitTest(x, y)) SendMessageW(editor, WM_APP_EDITOR_UNDO, 0, 0);
    for (ImageButton* tool : {&m_arrow, &m_blur, &m_pen, &m_rectangle, &m_text}) {
        if (!tool->HitTest(x, y)) continue;
        if (tool == m_activeTool) {
            DeselectTool(tool);
        } else {
            if (m_activeTool) DeselectTool(m_activeTool);
            SelectTool(tool);
        }
        break;
    }
}
