#pragma once
#include "classlib/Dialog.h"
#include "editor/ImageButton.h"
#include "editor/SelectRegionWidget.h"

// The editor's finishing panel: upload, copy, save and close in a column. Each click
// posts the editor's message to the panel's parent.
class CSelectRegionManagementDlg : public CDialog, public CSelectRegionWidget {
public:
    // Creates the (hidden) panel owned by the editor window.
    explicit CSelectRegionManagementDlg(CWnd* editor);

    ImageButton m_upload, m_copy, m_save, m_close;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    void OnPaint();
    void OnLButtonUp(int x, int y);

    HBITMAP m_background = nullptr;
    SIZE m_backgroundSize{};
};
