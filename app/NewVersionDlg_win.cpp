#include "app/NewVersionDlg.h"

#include "app/MainDlg.h"
#include "foundation/WinHandles.h"

CNewVersionDlg::CNewVersionDlg(int x, int y, Callback callback)
    : CDHtmlDialog(kTemplateId, kPageId), m_x(x), m_y(y), m_callback(std::move(callback)) {}

BOOL CNewVersionDlg::OnInitDialog() {
    CDHtmlDialog::OnInitDialog();
    SetWindowLongPtrW(m_hWnd, GWL_STYLE, WS_POPUP);
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, WS_EX_TOPMOST);
    SetWindowPos(m_hWnd, nullptr, m_x, m_y, kWidth, kHeight, SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
    LoadPngResource(nullptr, 193, m_logo);

    PageButton download;
    download.id = IDOK;
    download.text = L"Download";
    download.rect = {(kWidth - 140) / 2, kHeight - 32 - 12, (kWidth - 140) / 2 + 140, kHeight - 12};
    download.back = RGB(0x4C, 0xAF, 0x50);
    download.fore = RGB(255, 255, 255);
    download.fontPx = 18;
    AddPageButton(download);
    PageButton close;
    close.id = IDCANCEL;
    close.rect = {316, 4, 316 + 20, 4 + 20};
    close.fore = RGB(0x80, 0x80, 0x80);
    close.drawCross = true;
    AddPageButton(close);

    SetForegroundWindow(m_hWnd);
    SetWindowPos(m_hWnd, HWND_TOPMOST, m_x, m_y, 0, 0, SWP_NOSIZE);
    return FALSE;
}

void CNewVersionDlg::PaintPage(HDC dc, const RECT& client) {
    FillRect(dc, &client, UniqueBrush(CreateSolidBrush(RGB(255, 255, 255))).get());
    FrameRect(dc, &client, UniqueBrush(CreateSolidBrush(RGB(0, 0, 0))).get());
    if (m_logo.IsValid()) m_logo.Draw(dc, 14, 14, 48, 48);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    SelectScope font(dc, PageFont(16));
    RECT title = {76, 16, client.right - 30, 36};
    DrawTextW(dc, L"Brivane update", -1, &title, DT_LEFT | DT_SINGLELINE);
    font.Select(PageFont(12));
    RECT line = {76, 40, client.right - 8, 58};
    DrawTextW(dc, L"There is a new version of Brivane available.", -1, &line, DT_LEFT | DT_SINGLELINE);
}

void CNewVersionDlg::OnButtonOK() {
    ShowWindow(SW_HIDE);
    if (m_callback) m_callback(true, m_showAgain > 0);
}

void CNewVersionDlg::OnButtonCancel() {
    ShowWindow(SW_HIDE);
    if (m_callback) m_callback(false, m_showAgain > 0);
}
