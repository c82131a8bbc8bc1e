#include "app/NewVersionBannerDlg.h"

#include "foundation/WinHandles.h"

CNewVersionBannerDlg::CNewVersionBannerDlg(std::function<void()> onInstall, int width)
    : CDHtmlDialog(kTemplateId, kPageId), m_onInstall(std::move(onInstall)), m_width(width) {}

BOOL CNewVersionBannerDlg::OnInitDialog() {
    CDHtmlDialog::OnInitDialog();
    SetWindowPos(m_hWnd, nullptr, 0, 0, m_width, kHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PageButton install;
    install.id = IDOK;
    install.text = L"Install";
    install.rect = {m_width - 10 - 100, (kHeight - 24) / 2, m_width - 10, (kHeight - 24) / 2 + 24};
    install.back = RGB(0x4C, 0xAF, 0x50);
    install.fore = RGB(255, 255, 255);
    install.fontPx = 14;
    AddPageButton(install);
    return FALSE;
}

void CNewVersionBannerDlg::PaintPage(HDC dc, const RECT& client) {
    FillRect(dc, &client, UniqueBrush(CreateSolidBrush(RGB(0xFC, 0xEA, 0x9E))).get());
    RECT bottom = {client.left, client.bottom - 1, client.right, client.bottom};
    FillRect(dc, &bottom, UniqueBrush(CreateSolidBrush(RGB(170, 170, 170))).get());
    SelectScope font(dc, PageFont(14));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    RECT text = {client.left + 10, client.top, client.right - 120, client.bottom - 1};
    DrawTextW(dc, L"There is a new version of Brivane available", -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
}

void CNewVersionBannerDlg::OnButtonOK() {
    if (m_onInstall) m_onInstall();
}
