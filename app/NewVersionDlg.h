#pragma once
#include <functional>

#include "classlib/HtmlDialog.h"
#include "image/PxImage.h"

// The small pop-up in the bottom-right corner of the screen that announces a new
// version (template 109, page 110): topmost, without a parent. "Download" and the
// close button hide it and report through the callback (ok, show again).
class CNewVersionDlg : public CDHtmlDialog {
public:
    static constexpr UINT kTemplateId = 109;
    static constexpr UINT kPageId = 110;
    static constexpr int kWidth = 340;
    static constexpr int kHeight = 120;

    using Callback = std::function<void(bool ok, bool showAgain)>;
    CNewVersionDlg(int x, int y, Callback callback);

    // Moves to (x, y) before the window is shown again.
    void SetPosition(int x, int y) {
        m_x = x;
        m_y = y;
    }

    int m_showAgain = 1;   // the page's "ShowNewVersion" check box; this page has none

protected:
    BOOL OnInitDialog() override;
    void PaintPage(HDC dc, const RECT& client) override;
    void OnButtonOK() override;
    void OnButtonCancel() override;

private:
    int m_x;
    int m_y;
    Callback m_callback;
    PxImage m_logo;   // PNG 193
};
