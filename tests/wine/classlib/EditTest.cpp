// The hand-cursor edit and the editor's transparent edit, in a modeless dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classlib/Dialog.h"
#include "classlib/Edit.h"
#include "tests/wine/classlib/DialogTemplate.h"

namespace {

constexpr WORD kEditId = 1001;
constexpr WORD kOtherId = 1002;

// Records what the transparent edit forwards to its parent.
class HostDialog : public CDialog {
public:
    using CDialog::CDialog;
    std::vector<LPARAM> mouseMoves;
    int killFocusFromEdit = 0;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_MOUSEMOVE) mouseMoves.push_back(lParam);
        if (msg == WM_KILLFOCUS && wParam == 0 && lParam == 0) killFocusFromEdit++;
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

class EditTest : public ::testing::Test {
protected:
    static DialogTemplate Template() {
        DialogTemplate t(WS_POPUP | WS_CAPTION | WS_VISIBLE, 200, 90, L"edit test");
        t.Control(0x0081, kEditId, ES_MULTILINE | ES_AUTOVSCROLL | WS_TABSTOP, 10, 10, 120, 40, L"");
        t.Control(0x0081, kOtherId, WS_TABSTOP, 10, 60, 60, 14, L"");
        return t;
    }
    void SetUp() override {
        ASSERT_TRUE(host.Create(nullptr));
        ShowWindow(host.m_hWnd, SW_SHOW);
        UpdateWindow(host.m_hWnd);
    }
    void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    DialogTemplate tmpl = Template();
    HostDialog host{tmpl.Get()};
};

TEST_F(EditTest, CustomEditShowsTheHandCursor) {
    CCustomEdit edit;
    ASSERT_TRUE(edit.SubclassDlgItem(kEditId, &host));
    EXPECT_EQ(SendMessageW(edit.m_hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(edit.m_hWnd),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
}

TEST_F(EditTest, TransparentEditHandsOutTheRightBrush) {
    CEditTrans edit;
    ASSERT_TRUE(edit.SubclassDlgItem(kEditId, &host));
    edit.m_textColor = RGB(255, 0, 0);
    HDC dc = GetDC(edit.m_hWnd);

    LRESULT brush = SendMessageW(host.m_hWnd, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(edit.m_hWnd));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));

    edit.m_backColor = RGB(10, 20, 30);
    SetBkMode(dc, OPAQUE);
    brush = SendMessageW(host.m_hWnd, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(edit.m_hWnd));
    HBRUSH first = reinterpret_cast<HBRUSH>(brush);
    LOGBRUSH info = {};
    ASSERT_TRUE(GetObjectW(first, sizeof info, &info));
    EXPECT_EQ(info.lbColor, RGB(10, 20, 30));
    EXPECT_EQ(GetBkColor(dc), RGB(10, 20, 30));
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    // The next request replaces (and deletes) the brush handed out before.
    SendMessageW(host.m_hWnd, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit.m_hWnd));
    EXPECT_EQ(GetObjectType(first), 0u);
    ReleaseDC(edit.m_hWnd, dc);
}

TEST_F(EditTest, EveryChangeInvalidatesTheParentUnderTheEdit) {
    CEditTrans edit;
    ASSERT_TRUE(edit.SubclassDlgItem(kEditId, &host));
    RECT editRect;
    GetWindowRect(edit.m_hWnd, &editRect);
    MapWindowPoints(nullptr, host.m_hWnd, reinterpret_cast<POINT*>(&editRect), 2);
    InflateRect(&editRect, -2, -2);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "typed text" : "press");
        Pump();
        ValidateRect(host.m_hWnd, nullptr);
        if (round == 0) {
            SendMessageW(edit.m_hWnd, WM_CHAR, L'x', 0);
        } else {
            SendMessageW(edit.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            SendMessageW(edit.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        }
        RECT update = {};
        ASSERT_TRUE(GetUpdateRect(host.m_hWnd, &update, FALSE));
        RECT both;
        UnionRect(&both, &update, &editRect);
        EXPECT_TRUE(EqualRect(&both, &update)) << "the whole area under the edit is repainted: update " << update.left << "," << update.top << "," << update.right << "," << update.bottom << " edit " << editRect.left << "," << editRect.top << "," << editRect.right << "," << editRect.bottom;
    }
    EXPECT_EQ(SendMessageW(edit.m_hWnd, WM_ERASEBKGND, 0, 0), FALSE);
}

TEST_F(EditTest, CtrlZHidesTheBoxAndReturnRefits) {
    CEditTrans edit;
    ASSERT_TRUE(edit.SubclassDlgItem(kEditId, &host));
    std::vector<std::wstring> refits;
    edit.m_onReturn = [&](const std::wstring& text) { refits.push_back(text); };
    SetWindowTextW(edit.m_hWnd, L"ab");

    MSG z = {edit.m_hWnd, WM_KEYDOWN, 'Z', 0, 0, {0, 0}};
    BYTE keys[256] = {};
    SetKeyboardState(keys);
    EXPECT_FALSE(edit.PreTranslateMessage(&z)) << "Z alone is typed";
    EXPECT_TRUE(IsWindowVisible(host.m_hWnd));
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    EXPECT_TRUE(edit.PreTranslateMessage(&z));
    EXPECT_FALSE(IsWindowVisible(host.m_hWnd));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);

    MSG enter = {edit.m_hWnd, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_FALSE(edit.PreTranslateMessage(&enter)) << "the edit still inserts the new line";
    ASSERT_EQ(refits.size(), 1u);
    EXPECT_EQ(refits[0], L"ab\r\n");
}

TEST_F(EditTest, DraggingForwardsMovesAndFocusLossReachesTheParent) {
    CEditTrans edit;
    ASSERT_TRUE(edit.SubclassDlgItem(kEditId, &host));
    SendMessageW(edit.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    EXPECT_TRUE(host.mouseMoves.empty());
    edit.m_dragging = true;
    SendMessageW(edit.m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(7, 9));
    ASSERT_EQ(host.mouseMoves.size(), 1u);
    EXPECT_EQ(host.mouseMoves[0], MAKELPARAM(7, 9));

    SetForegroundWindow(host.m_hWnd);
    SetFocus(edit.m_hWnd);
    SetFocus(GetDlgItem(host.m_hWnd, kOtherId));
    EXPECT_EQ(host.killFocusFromEdit, 1);
}

}  // namespace
