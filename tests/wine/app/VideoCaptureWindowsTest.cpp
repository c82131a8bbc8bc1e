#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/MainDlgMessages.h"
#include "app/RecordVideoSession.h"
#include "app/VideoCaptureWindows.h"
#include "app/VideoRecordingRules.h"

namespace {

class FixedLayout : public ILayoutManager {
public:
    FixedLayout(POINT p, float opacity) : m_p(p), m_opacity(opacity) {}
    POINT GetPosition(HWND) override { return m_p; }
    float GetOpacity(HWND) override { return m_opacity; }
    POINT m_p;
    float m_opacity;
};

// A plain window that keeps the private messages it receives.
class MessageSink : public CWnd {
public:
    MessageSink() { CreateEx(0, RegisterWndClass(0), L"sink", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr); }
    LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
        if (msg >= WM_APP_VIDEO_CANCEL && msg <= WM_APP_VIDEO_UNDO) got.push_back({msg, w});
        return CWnd::WindowProc(msg, w, l);
    }
    struct Got {
        UINT msg;
        WPARAM w;
        bool operator==(const Got& o) const { return msg == o.msg && w == o.w; }
    };
    std::vector<Got> got;
};

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

TEST(VideoCaptureWindowsTest, FrameIsTopmostKeyedAndThreePixelsOutsideTheArea) {
    CVideoCaptureAreaDialog frame(RECT{200, 150, 500, 350});
    ASSERT_TRUE(frame.Create(nullptr));
    Pump();
    RECT r = {};
    GetWindowRect(frame.m_hWnd, &r);
    EXPECT_EQ(r.left, 197);
    EXPECT_EQ(r.top, 147);
    EXPECT_EQ(r.right - r.left, 306);
    EXPECT_EQ(r.bottom - r.top, 206);
    LONG ex = GetWindowLongW(frame.m_hWnd, GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_TOPMOST);
    EXPECT_TRUE(ex & WS_EX_LAYERED);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(frame.m_hWnd, &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(0, 255, 0));
    EXPECT_EQ(flags & LWA_COLORKEY, static_cast<DWORD>(LWA_COLORKEY));
    frame.DestroyWindow();
}

TEST(VideoCaptureWindowsTest, PanelTakesItsPlaceSizeAndOpacityFromTheLayout) {
    MessageSink sink;
    CVideoCaptureControlDlg panel(new FixedLayout({120, 90}, 0.5f), &sink);
    ASSERT_TRUE(panel.Create(&sink));
    Pump();
    RECT r = {};
    GetWindowRect(panel.m_hWnd, &r);
    EXPECT_EQ(r.left, 120);
    EXPECT_EQ(r.top, 90);
    EXPECT_EQ(r.right - r.left, 283);
    EXPECT_EQ(r.bottom - r.top, 40);
    LONG ex = GetWindowLongW(panel.m_hWnd, GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_TOPMOST);
    EXPECT_TRUE(ex & WS_EX_LAYERED);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(panel.m_hWnd, &key, &alpha, &flags));
    EXPECT_EQ(alpha, 127);
    EXPECT_TRUE(flags & LWA_ALPHA);
    EXPECT_TRUE(IsWindowVisible(panel.m_hWnd));
    EXPECT_FALSE(panel.m_resume.m_visible);
    panel.DestroyWindow();
}

TEST(VideoCaptureWindowsTest, ClicksGoToTheParentFirstHitWinsAndKeysAreSwallowed) {
    MessageSink sink;
    CVideoCaptureControlDlg panel(new FixedLayout({0, 0}, 1.0f), &sink);
    ASSERT_TRUE(panel.Create(&sink));
    Pump();
    auto click = [&](int x) {
        SendMessageW(panel.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(x, 20));
        Pump();
    };
    click(60);    // pause
    EXPECT_FALSE(panel.m_pause.m_visible);
    EXPECT_TRUE(panel.m_resume.m_visible);
    click(60);    // resume, at the same place
    EXPECT_TRUE(panel.m_pause.m_visible);
    EXPECT_FALSE(panel.m_resume.m_visible);
    click(220);   // cancel
    click(260);   // stop
    click(20);    // restart
    click(150);   // the bar: nothing
    using G = MessageSink::Got;
    EXPECT_EQ(sink.got, (std::vector<G>{{WM_APP_VIDEO_PAUSE, 1},
                                        {WM_APP_VIDEO_PAUSE, 0},
                                        {WM_APP_VIDEO_CANCEL, 0},
                                        {WM_APP_VIDEO_STOP, 0},
                                        {WM_APP_VIDEO_UNDO, 0}}));
    for (WPARAM key : {WPARAM(VK_RETURN), WPARAM(VK_ESCAPE)}) {
        for (UINT type : {UINT(WM_KEYDOWN), UINT(WM_SYSKEYDOWN)}) {
            MSG msg = {panel.m_hWnd, type, key, 0, 0, {}};
            EXPECT_TRUE(panel.PreTranslateMessage(&msg)) << key;
        }
    }
    EXPECT_TRUE(IsWindowVisible(panel.m_hWnd));
    panel.DestroyWindow();
}

// The panel's picture for a progress state, read back from a memory bitmap.
struct Canvas {
    explicit Canvas(CVideoCaptureControlDlg& panel) {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, 283, 40);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bitmap);
        RECT client = {0, 0, 283, 40};
        panel.PaintTo(dc, client);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

TEST(VideoCaptureWindowsTest, ProgressRecordFillsTheBar) {
    MessageSink sink;
    CVideoCaptureControlDlg panel(new FixedLayout({0, 0}, 1.0f), &sink);
    ASSERT_TRUE(panel.Create(&sink));
    const COLORREF blue = RGB(0x1f, 0x6f, 0xd1);
    const int barX = 90, trackY = 30;
    {
        Canvas empty(panel);   // before any progress: no step drawn
        EXPECT_NE(empty.At(barX, trackY), blue);
        EXPECT_NE(empty.At(barX + 50, trackY), blue);
    }
    SendMessageW(panel.m_hWnd, WM_APP_RECORD_PROGRESS, 0,
                 reinterpret_cast<LPARAM>(new RecordProgress{100000, 50000}));
    EXPECT_EQ(panel.m_limitMs, 100000);
    EXPECT_EQ(panel.m_elapsedMs, 50000);
    {
        Canvas half(panel);
        EXPECT_EQ(half.At(barX, trackY), blue);
        EXPECT_EQ(half.At(barX + 51, trackY), blue);
        EXPECT_NE(half.At(barX + 53, trackY), blue);
        EXPECT_NE(half.At(barX + 100, trackY), blue);
    }
    // A limit of 0: empty bar whatever the time.
    SendMessageW(panel.m_hWnd, WM_APP_RECORD_PROGRESS, 0, reinterpret_cast<LPARAM>(new RecordProgress{0, 61500}));
    {
        Canvas none(panel);
        EXPECT_NE(none.At(barX, trackY), blue);
    }
    // No record: nothing changes.
    EXPECT_EQ(SendMessageW(panel.m_hWnd, WM_APP_RECORD_PROGRESS, 0, 0), 0);
    EXPECT_EQ(panel.m_elapsedMs, 61500);
    panel.DestroyWindow();
}

}  // namespace
