#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

// A borderless top-most window of this process at a known place, painted in four
// quadrants of known colours: top-left red, top-right green, bottom-left blue,
// bottom-right yellow.
class TestWindow {
public:
    static constexpr COLORREF kTopLeft = RGB(220, 30, 40);
    static constexpr COLORREF kTopRight = RGB(30, 200, 60);
    static constexpr COLORREF kBottomLeft = RGB(20, 40, 230);
    static constexpr COLORREF kBottomRight = RGB(240, 220, 10);

    TestWindow(int x, int y, int width, int height);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return m_window; }
    RECT Rect() const { return m_rect; }
    // Handles messages for a while, so that the window is painted and the cursor set.
    static void Pump(int ms);

private:
    HWND m_window = nullptr;
    RECT m_rect{};
};

// Colour of pixel (x, y), counted from the top-left, of a bottom-up 32-bit frame.
inline COLORREF FramePixel(const std::vector<uint8_t>& frame, int width, int height, int x, int y) {
    const uint8_t* p = &frame[(size_t(height - 1 - y) * width + x) * 4];
    return RGB(p[2], p[1], p[0]);
}
inline uint8_t FrameFourthByte(const std::vector<uint8_t>& frame, int width, int height, int x, int y) {
    return frame[(size_t(height - 1 - y) * width + x) * 4 + 3];
}
