#pragma once
#include "editor/EditorPanel.h"
#include "editor/ImageButton.h"

// The editor's finishing panel: upload, copy, save and close in a column. Each click
// posts the editor's message to the panel's parent.
class CSelectRegionManagementDlg : public CEditorPanel {
public:
    // Creates the (hidden) panel owned by the editor window.
    explicit CSelectRegionManagementDlg(CWnd* editor);

    ImageButton m_upload, m_copy, m_save, m_close;

protected:
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
    void DrawButtons(HDC dc) override;
    void OnLButtonUp(int x, int y) override;
};
