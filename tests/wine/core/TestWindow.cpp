#include "TestWindow.h"

#include <gtest/gtest.h>

namespace {

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_ERASEBKGND) {
        HDC dc = reinterpret_cast<HDC>(w);
        RECT r;
        GetClientRect(window, &r);
        int midX = r.right / 2, midY = r.bottom / 2;
        const struct {
            RECT rect;
            COLORREF colour;
        } parts[] = {{{0, 0, midX, midY}, TestWindow::kTopLeft},
                     {{midX, 0, r.right, midY}, TestWindow::kTopRight},
                     {{0, midY, midX, r.bottom}, TestWindow::kBottomLeft},
                     {{midX, midY, r.right, r.bottom}, TestWindow::kBottomRight}};
        for (const auto& part : parts) {
            HBRUSH brush = CreateSolidBrush(part.colour);
            FillRect(dc, &part.rect, brush);
            DeleteObject(brush);
        }
        return 1;
    }
    return DefWindowProcW(window, message, w, l);
}

}  // namespace

TestWindow::TestWindow(int x, int y, int width, int height) {
    static ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CoreTestWindow";
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        return RegisterClassW(&wc);
    }();
    m_window = CreateWindowExW(WS_EX_TOPMOST, reinterpret_cast<LPCWSTR>(uintptr_t(atom)), L"core test",
                               WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    m_rect = RECT{x, y, x + width, y + height};
    if (m_window) {
        UpdateWindow(m_window);
        // Another program's window may hold the foreground for a moment.
        for (int i = 0; i < 20 && GetForegroundWindow() != m_window; ++i) {
            SetForegroundWindow(m_window);
            Pump(50);
        }
        Pump(250);
    }
}

TestWindow::~TestWindow() {
    if (m_window) DestroyWindow(m_window);
    Pump(50);
}

void TestWindow::Pump(int ms) {
    DWORD end = GetTickCount() + DWORD(ms);
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    } while (int(end - GetTickCount()) > 0);
}

namespace {

// The tests of this binary draw windows, move the pointer and change the foreground
// window, so two of them must not run at once on the display that ctest -j shares.
// Each process holds this named mutex (shared through the wineserver) while it runs.
class ScreenLock : public testing::Environment {
public:
    void SetUp() override {
        m_mutex = CreateMutexW(nullptr, FALSE, L"BrivaneCoreScreenTests");
        if (m_mutex) WaitForSingleObject(m_mutex, 240000);
    }
    void TearDown() override {
        if (!m_mutex) return;
        ReleaseMutex(m_mutex);
        CloseHandle(m_mutex);
        m_mutex = nullptr;
    }

private:
    HANDLE m_mutex = nullptr;
};

testing::Environment* const g_screenLock = testing::AddGlobalTestEnvironment(new ScreenLock);

}  // namespace
