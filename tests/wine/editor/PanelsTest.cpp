// The editor's tool panels and picture buttons, driven by their own messages, and the
// colour dialog's placement.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "classlib/WorkerThread.h"
#include "editor/EditorMessages.h"
#include "editor/ImageButton.h"
#include "editor/SelectRegionManagementDlg.h"
#include "editor/SelectRegionToolsDlg.h"
#include "editor/TavimoreColorDlg.h"
#include "resource.h"

namespace {

// Plays the editor: records the editor messages it receives, sent or posted.
class FakeEditor : public CWnd {
public:
    FakeEditor() {
        CreateEx(0, RegisterWndClass(0), L"fake editor", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg >= WM_APP_EDITOR_ACCEPT && msg <= WM_APP_EDITOR_TEXT_DRAG) {
            received.push_back(msg);
            return 0;
        }
        return CWnd::WindowProc(msg, wParam, lParam);
    }
    std::vector<UINT> Take() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        std::vector<UINT> out;
        out.swap(received);
        return out;
    }
    std::vector<UINT> received;
};

void Click(CWnd& panel, int x, int y) { SendMessageW(panel.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

COLORREF ScreenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return c;
}

void Settle(HWND window) {
    UpdateWindow(window);
    MSG msg;
    for (int i = 0; i < 5; ++i) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(30);
    }
}

}  // namespace

TEST(ImageButton, HitTestIsStrictAndHiddenButtonsAreNeitherHitNorDrawn) {
    ImageButton button(IDP_ARROW, IDP_ARROW_HOVER, IDP_ARROW_ACTIVE, 2, 0);
    SIZE size = button.GetSize();
    ASSERT_EQ(size.cx, 38);
    ASSERT_EQ(size.cy, 38);
    const struct {
        int x, y;
        bool hit;
    } cases[] = {{2, 10, false}, {3, 10, true}, {39, 10, true}, {40, 10, false},
                 {20, 0, false}, {20, 1, true}, {20, 37, true}, {20, 38, false}};
    for (const auto& c : cases) EXPECT_EQ(button.HitTest(c.x, c.y), c.hit) << c.x << "," << c.y;

    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 50, 50);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 50, 50};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    button.m_visible = false;
    EXPECT_FALSE(button.HitTest(20, 20));
    button.Draw(dc);
    EXPECT_EQ(GetPixel(dc, 8, 30), RGB(255, 255, 255));
    button.m_visible = true;
    button.Draw(dc);
    EXPECT_NE(GetPixel(dc, 8, 30), RGB(255, 255, 255));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST(ImageButton, MissingHoverAndActiveUseTheNormalPicture) {
    ImageButton undo(IDP_UNDO, IDP_UNDO_HOVER, 0, 243, 0);
    ImageButton plain(IDP_UNDO, 0, 0, 243, 0);
    ASSERT_TRUE(undo.m_active.IsValid());
    for (long y = 0; y < 38; y += 5) {
        for (long x = 0; x < 38; x += 5) {
            EXPECT_EQ(undo.m_active.GetPixelColor(x, y).rgbRed, undo.m_normal.GetPixelColor(x, y).rgbRed);
            EXPECT_EQ(plain.m_hover.GetPixelColor(x, y).rgbBlue, plain.m_normal.GetPixelColor(x, y).rgbBlue);
        }
    }
    EXPECT_TRUE(undo.IsShowing(&undo.m_normal));
}

TEST(ToolsPanel, ToolChangesReachTheEditorAsDeselectThenSelect) {
    FakeEditor editor;
    CSelectRegionToolsDlg tools(RGB(255, 0, 0), &editor);
    ASSERT_TRUE(tools.m_hWnd);
    EXPECT_FALSE(IsWindowVisible(tools.m_hWnd)) << "hidden until the editor places it";
    SIZE size = tools.GetSize();
    EXPECT_EQ(size.cx, 285);
    EXPECT_EQ(size.cy, 40);

    const struct {
        const char* what;
        int x;
        std::vector<UINT> messages;
    } steps[] = {
        {"arrow on", 21, {WM_APP_EDITOR_TOOL_ARROW}},
        {"pen replaces arrow", 61, {WM_APP_EDITOR_TOOL_ARROW_OFF, WM_APP_EDITOR_TOOL_PENCIL}},
        {"pen again switches it off", 61, {WM_APP_EDITOR_TOOL_PENCIL_OFF}},
        {"rectangle", 101, {WM_APP_EDITOR_TOOL_RECTANGLE}},
        {"text", 141, {WM_APP_EDITOR_TOOL_RECTANGLE_OFF, WM_APP_EDITOR_TOOL_TEXT}},
        {"blur", 181, {WM_APP_EDITOR_TOOL_TEXT_OFF, WM_APP_EDITOR_TOOL_BLUR}},
        {"colour keeps the tool", 221, {WM_APP_EDITOR_PALETTE}},
        {"undo keeps the tool", 262, {WM_APP_EDITOR_UNDO}},
        {"between two buttons", 41, {}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        Click(tools, step.x, 19);
        EXPECT_EQ(editor.Take(), step.messages);
    }
    EXPECT_EQ(tools.GetActiveTool(), &tools.m_blur);
    EXPECT_TRUE(tools.m_blur.IsShowing(&tools.m_blur.m_active));
    EXPECT_TRUE(tools.m_pen.IsShowing(&tools.m_pen.m_normal));

    // The editor selects a tool itself (its automatic Arrow).
    tools.SelectTool(&tools.m_arrow);
    EXPECT_EQ(editor.Take(), std::vector<UINT>{WM_APP_EDITOR_TOOL_ARROW});
    EXPECT_TRUE(tools.m_blur.IsShowing(&tools.m_blur.m_normal));
    tools.DeselectTool(&tools.m_arrow);
    EXPECT_EQ(editor.Take(), std::vector<UINT>{WM_APP_EDITOR_TOOL_ARROW_OFF});
    EXPECT_EQ(tools.GetActiveTool(), nullptr);
}

TEST(ToolsPanel, HoverSwatchAndTopmostPlacement) {
    FakeEditor editor;
    CSelectRegionToolsDlg tools(RGB(255, 0, 0), &editor);
    tools.SelectTool(&tools.m_arrow);
    editor.Take();
    tools.ShowAt(40, 60);
    EXPECT_TRUE(IsWindowVisible(tools.m_hWnd));
    EXPECT_TRUE(GetWindowLongW(tools.m_hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT rect;
    GetWindowRect(tools.m_hWnd, &rect);
    EXPECT_EQ(rect.left, 40);
    EXPECT_EQ(rect.top, 60);

    // Hovering the pen and the (active) arrow.
    for (int x : {61, 21}) {
        SetCursorPos(40 + x, 60 + 19);
        SendMessageW(tools.m_hWnd, WM_TIMER, 0, 0);
        EXPECT_TRUE(tools.m_pen.IsShowing(x == 61 ? &tools.m_pen.m_hover : &tools.m_pen.m_normal)) << x;
        EXPECT_TRUE(tools.m_arrow.IsShowing(&tools.m_arrow.m_active)) << "the active tool stays active";
    }
    SetCursorPos(5, 5);
    SendMessageW(tools.m_hWnd, WM_TIMER, 0, 0);

    Settle(tools.m_hWnd);
    EXPECT_EQ(ScreenPixel(40 + 202 + 22, 60 + 29), RGB(255, 0, 0));
    tools.SetColor(RGB(0, 0, 255));
    Settle(tools.m_hWnd);
    EXPECT_EQ(ScreenPixel(40 + 202 + 22, 60 + 29), RGB(0, 0, 255));
    EXPECT_EQ(ScreenPixel(40 + 202 + 22, 60 + 37), RGB(0x24, 0x24, 0x24)) << "below the button: background";
}

TEST(ManagementPanel, EachButtonPostsItsMessage) {
    FakeEditor editor;
    CSelectRegionManagementDlg panel(&editor);
    ASSERT_TRUE(panel.m_hWnd);
    SIZE size = panel.GetSize();
    EXPECT_EQ(size.cx, 40);
    EXPECT_EQ(size.cy, 162);
    const struct {
        int y;
        UINT message;
    } buttons[] = {{21, WM_APP_EDITOR_ACCEPT}, {61, WM_APP_EDITOR_COPY}, {101, WM_APP_EDITOR_SAVE},
                   {141, WM_APP_EDITOR_CANCEL}};
    for (const auto& b : buttons) {
        Click(panel, 20, b.y);
        EXPECT_EQ(editor.Take(), std::vector<UINT>{b.message}) << b.y;
    }
    Click(panel, 20, 41);   // on the line between two buttons
    EXPECT_TRUE(editor.Take().empty());
}

namespace {

struct FixedPlace : ILayoutManager {
    POINT GetPosition(HWND) override { return POINT{33, 44}; }
    float GetOpacity(HWND) override { return 1.0f; }
};

struct Seen {
    std::atomic<bool> found{false};
    std::atomic<bool> topmost{false};
    RECT rect = {};
    WPARAM answer = IDCANCEL;
};

UINT WatchColourDialog(void* param) {
    auto* seen = static_cast<Seen*>(param);
    for (int i = 0; i < 300; i++) {
        Sleep(20);
        HWND dialog = FindWindowW(L"#32770", nullptr);
        DWORD pid = 0;
        if (dialog) GetWindowThreadProcessId(dialog, &pid);
        if (dialog && pid == GetCurrentProcessId() && IsWindowVisible(dialog)) {
            Sleep(200);
            GetWindowRect(dialog, &seen->rect);
            seen->topmost = (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            seen->found = true;
            PostMessageW(dialog, WM_COMMAND, seen->answer, 0);
            return 0;
        }
    }
    return 0;
}

}  // namespace

TEST(ColorDialog, PlacedByItsLayoutAndOkKeepsTheColour) {
    Seen seen;
    seen.answer = IDOK;
    ASSERT_TRUE(AfxBeginThread(&WatchColourDialog, &seen));
    FixedPlace place;
    CTavimoreColorDlg dialog(RGB(0, 128, 255), 0, nullptr);
    dialog.m_layout = &place;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.rect.left, 33);
    EXPECT_EQ(seen.rect.top, 44);
    EXPECT_TRUE(seen.topmost);
    EXPECT_EQ(dialog.GetColor(), RGB(0, 128, 255));
}

TEST(ColorDialog, WithoutLayoutItStaysWhereTheSystemPutsIt) {
    Seen seen;
    ASSERT_TRUE(AfxBeginThread(&WatchColourDialog, &seen));
    CTavimoreColorDlg dialog(RGB(1, 2, 3), 0, nullptr);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ASSERT_TRUE(seen.found);
    EXPECT_FALSE(seen.rect.left == 33 && seen.rect.top == 44);
    EXPECT_FALSE(seen.topmost);
}
