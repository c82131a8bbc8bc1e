#include "classlib/HtmlDialog.h"

#include <algorithm>

CDHtmlDialog::CDHtmlDialog(UINT templateId, UINT htmlResourceId, CWnd* parent)
    : CDialog(templateId, parent), m_htmlResourceId(htmlResourceId) {}

CDHtmlDialog::~CDHtmlDialog() = default;

HFONT CDHtmlDialog::PageFont(int px) {
    for (auto& f : m_fonts) {
        if (f.first == px) return f.second.get();
    }
    HFONT font = CreateFontW(-px, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Verdana");
    m_fonts.emplace_back(px, UniqueFont(font));
    return font;
}

HWND CDHtmlDialog::AddPageButton(const PageButton& button) {
    m_buttons.push_back(button);
    const RECT& r = button.rect;
    HWND hwnd = CreateWindowExW(0, L"BUTTON", button.text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                                r.left, r.top, r.right - r.left, r.bottom - r.top, m_hWnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.id)), GetModuleHandleW(nullptr),
                                nullptr);
    return hwnd;
}

void CDHtmlDialog::DrawButton(const DRAWITEMSTRUCT& item) {
    const PageButton* b = nullptr;
    for (const auto& candidate : m_buttons) {
        if (static_cast<UINT>(candidate.id) == item.CtlID) b = &candidate;
    }
    if (!b) return;
    FillRect(item.hDC, &item.rcItem, UniqueBrush(CreateSolidBrush(b->back)).get());
    if (b->drawCross) {
        const int w = item.rcItem.right - item.rcItem.left;
        const int h = item.rcItem.bottom - item.rcItem.top;
        const int m = std::min(w, h) / 4;
        UniquePen pen(CreatePen(PS_SOLID, 2, b->fore));
        SelectScope select(item.hDC, pen.get());
        MoveToEx(item.hDC, item.rcItem.left + m, item.rcItem.top + m, nullptr);
        LineTo(item.hDC, item.rcItem.right - m, item.rcItem.bottom - m);
        MoveToEx(item.hDC, item.rcItem.right - m, item.rcItem.top + m, nullptr);
        LineTo(item.hDC, item.rcItem.left + m, item.rcItem.bottom - m);
        return;
    }
    SelectScope font(item.hDC, PageFont(b->fontPx));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, b->fore);
    RECT r = item.rcItem;
    DrawTextW(item.hDC, b->text.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

bool CDHtmlDialog::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDOK) {
        OnButtonOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnButtonCancel();
        return true;
    }
    return CDialog::OnCommand(id, code, control);
}

LRESULT CDHtmlDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PaintDC dc(m_hWnd);
        RECT client;
        GetClientRect(m_hWnd, &client);
        PaintPage(dc.get(), client);
        return 0;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType == ODT_BUTTON) {
            DrawButton(*item);
            return TRUE;
        }
        break;
    }
    default:
        break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
