#include "editor/TextBoxDlg.h"

#include <algorithm>
#include <utility>

#include "editor/DrawSelectionCommand.h"
#include "editor/EditorMessages.h"
#include "editor/PointFont_win.h"
#include "editor/SelectRegionDlg.h"
#include "editor/SelectRegionLogic.h"
#include "resources/resource.h"


CTextBoxDlg::CTextBoxDlg(CWnd* editor) : CDialog(IDD_TEXT_BOX, editor), m_editor(editor) {
    m_edit.m_textColor = RGB(255, 255, 255);
    m_edit.m_backColor = CEditTrans::kTransparent;
    // Return refits before the edit inserts the new line.
    m_edit.m_onReturn = [this](const std::wstring& text) { FitToText(text); };
}

CTextBoxDlg::~CTextBoxDlg() {
    // The window goes first; the font (a member) after it.
    if (m_hWnd) DestroyWindow();
}

HFONT CTextBoxDlg::FontForSize(int size) {
    if (m_font && m_fontSize == size) return m_font.get();
    UniqueFont font = CreatePointFont(nullptr, size, L"Calibri");
    if (!font) return m_font.get();
    // The old font goes (at the end of this scope) only after every window has the new one.
    UniqueFont old = std::exchange(m_font, std::move(font));
    m_fontSize = size;
    if (old) {
        SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), FALSE);
        if (m_edit.m_hWnd) SendMessageW(m_edit.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), FALSE);
    }
    return m_font.get();
}

BOOL CTextBoxDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_edit.SubclassDlgItem(IDC_TEXT_BOX_EDIT, this);
    SetEditorFont();
    return TRUE;
}

void CTextBoxDlg::SetEditorFont() {
    if (!m_hWnd) return;
    HFONT font = FontForSize(g_editorTextSize);
    SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    FitToText(GetText());
}

std::wstring CTextBoxDlg::GetText() const {
    if (!m_edit.m_hWnd) return L"";
    int length = GetWindowTextLengthW(m_edit.m_hWnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(m_edit.m_hWnd, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

void CTextBoxDlg::FitToText(const std::wstring& text) {
    if (!m_hWnd || !m_edit.m_hWnd) return;
    std::vector<std::wstring> lines = TextBoxLines(text);
    int widest = 0;
    TEXTMETRICW tm{};
    {
        WindowDC dc(m_edit.m_hWnd);
        SelectScope font(dc.get(), FontForSize(g_editorTextSize));
        for (const std::wstring& line : lines) {
            SIZE size{};
            GetTextExtentPoint32W(dc.get(), line.c_str(), static_cast<int>(line.size()), &size);
            widest = std::max<int>(widest, size.cx);
        }
        GetTextMetricsW(dc.get(), &tm);
    }
    int n = static_cast<int>(lines.size());
    SetWindowPos(m_hWnd, nullptr, 0, 0, widest + tm.tmMaxCharWidth + 8, n * tm.tmHeight + 8,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(m_edit.m_hWnd, nullptr, 4, 4, widest + tm.tmMaxCharWidth, n * tm.tmHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(m_edit.m_hWnd, nullptr, FALSE);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CTextBoxDlg::SendToEditor(UINT msg) {
    HWND parent = GetParent(m_hWnd);
    if (parent) SendMessageW(parent, msg, 0, 0);
}

void CTextBoxDlg::OnPaint() {
    PaintDC paint(m_hWnd);
    HDC dc = paint.get();
    RECT box;
    GetWindowRect(m_hWnd, &box);
    HWND parent = GetParent(m_hWnd);
    if (parent) {
        POINT origin{box.left, box.top};
        ScreenToClient(parent, &origin);
        WindowDC parentDC(parent);
        BitBlt(dc, 0, 0, box.right - box.left, box.bottom - box.top, parentDC.get(), origin.x, origin.y, SRCCOPY);
    }
    DrawSelectionCommand(1, 1, box.right - box.left - 2, box.bottom - box.top - 2, false).Draw(dc);
}

bool CTextBoxDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_TEXT_BOX_EDIT && code == EN_CHANGE) {
        FitToText(GetText());
        return true;
    }
    return CDialog::OnCommand(id, code, control);
}

LRESULT CTextBoxDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SHOWWINDOW: {
        LRESULT result = Default(msg, wParam, lParam);
        if (!wParam && !m_edit.m_dragging) SendToEditor(WM_APP_EDITOR_TEXT_COMMIT);
        return result;
    }
    case WM_KILLFOCUS: {
        LRESULT result = Default(msg, wParam, lParam);
        // Focus moving between the box and its own edit (as the box is shown) is no
        // loss; the edit forwards its own loss without saying where the focus went.
        HWND to = wParam ? reinterpret_cast<HWND>(wParam) : GetFocus();
        bool stays = to && (to == m_hWnd || to == m_edit.m_hWnd);
        if (!m_edit.m_dragging && !stays) SendToEditor(WM_APP_EDITOR_TEXT_CLOSE);
        return result;
    }
    case WM_LBUTTONDOWN:
        m_edit.m_dragging = true;
        SendToEditor(WM_APP_EDITOR_TEXT_DRAG);
        break;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == m_hWnd) {
            SetCursor(LoadCursorW(nullptr, IDC_SIZEALL));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
