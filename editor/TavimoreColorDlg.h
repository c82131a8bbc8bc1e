#pragma once
#include "classlib/ColorDialog.h"
#include "classlib/LayoutManager.h"

// The colour dialog placed by a layout object (topmost, not activated); without one it
// stands where the system puts it.
class CTavimoreColorDlg : public CColorDialog {
public:
    using CColorDialog::CColorDialog;
    ILayoutManager* m_layout = nullptr;   // not owned

protected:
    BOOL OnInitDialog(HWND dialog) override;
};
