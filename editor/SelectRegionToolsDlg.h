#pragma once
#include <map>

#include "editor/EditorPanel.h"
#include "editor/ImageButton.h"

// The editor's drawing tools in a row (arrow, pen, rectangle, text, blur), the colour
// button with its swatch and undo. Tool changes reach the editor (the panel's parent)
// as the old tool's deselect message followed by the new tool's select message.
class CSelectRegionToolsDlg : public CEditorPanel {
public:
    // Creates the (hidden) panel owned by the editor window.
    CSelectRegionToolsDlg(COLORREF colour, CWnd* editor);

    // Sends the button's select message, shows the previous tool normal, makes the
    // button the active tool.
    void SelectTool(ImageButton* button);
    // Sends the button's deselect message, shows the active tool normal, clears it.
    void DeselectTool(ImageButton* button);
    ImageButton* GetActiveTool() const { return m_activeTool; }
    // The swatch shows the new colour at once.
    void SetColor(COLORREF colour);

    ImageButton m_arrow, m_pen, m_rectangle, m_text, m_blur, m_colorButton, m_undo;
    ImageButton* m_activeTool = nullptr;
    std::map<ImageButton*, UINT> m_selectMessages;
    std::map<ImageButton*, UINT> m_deselectMessages;
    COLORREF m_color;

protected:
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
    void DrawButtons(HDC dc) override;
    void OnLButtonUp(int x, int y) override;

private:
    void UpdateHover();
};
