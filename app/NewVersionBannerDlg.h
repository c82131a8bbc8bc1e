#pragma once
#include <functional>

#include "classlib/HtmlDialog.h"

// The yellow band across the top of the settings window that announces a new version
// (template 111, page 112). Its "Install" button opens the download page through
// `onInstall`. Created once by the main dialog, which places, shows and hides it.
class CNewVersionBannerDlg : public CDHtmlDialog {
public:
    static constexpr UINT kTemplateId = 111;
    static constexpr UINT kPageId = 112;
    static constexpr int kHeight = 32;

    CNewVersionBannerDlg(std::function<void()> onInstall, int width);

protected:
    BOOL OnInitDialog() override;
    void PaintPage(HDC dc, const RECT& client) override;
    void OnButtonOK() override;
    void OnButtonCancel() override {}

private:
    std::function<void()> m_onInstall;
    int m_width;
};
