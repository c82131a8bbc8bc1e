#include <gtest/gtest.h>

#include "foundation/BitmapBits.h"

TEST(BitmapBits, ReadsA3x2BitmapBottomUp) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 3, 2);
    ASSERT_NE(bitmap, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) SetPixel(dc, x, y, RGB(10 * x, 100 + y, 200));
    SetPixel(dc, 0, 0, RGB(255, 0, 0));   // top-left red
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);

    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    BITMAPINFO info;
    ASSERT_TRUE(GetBitmapBits32(bitmap, width, height, pixels, info));
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    ASSERT_EQ(pixels.size(), 24u);
    EXPECT_EQ(info.bmiHeader.biSize, 40u);
    EXPECT_EQ(info.bmiHeader.biWidth, 3);
    EXPECT_EQ(info.bmiHeader.biHeight, 2);
    EXPECT_EQ(info.bmiHeader.biPlanes, 1);
    EXPECT_EQ(info.bmiHeader.biBitCount, 32);
    EXPECT_EQ(info.bmiHeader.biCompression, static_cast<DWORD>(BI_RGB));
    // Bottom-up: the top row (y 0) is the second row of the buffer; bytes are B, G, R, X.
    const uint8_t* top = pixels.data() + 12;
    EXPECT_EQ(top[0], 0);
    EXPECT_EQ(top[1], 0);
    EXPECT_EQ(top[2], 255);
    EXPECT_EQ(top[4 + 0], 200);   // (1, 0)
    EXPECT_EQ(top[4 + 1], 100);
    EXPECT_EQ(top[4 + 2], 10);
    const uint8_t* bottom = pixels.data();
    EXPECT_EQ(bottom[8 + 1], 101);   // (2, 1)
    EXPECT_EQ(bottom[8 + 2], 20);
    DeleteObject(bitmap);
}

TEST(BitmapBits, InvalidBitmapFails) {
    int width = 7, height = 7;
    std::vector<uint8_t> pixels(5);
    BITMAPINFO info;
    EXPECT_FALSE(GetBitmapBits32(nullptr, width, height, pixels, info));
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_TRUE(pixels.empty());
    // A brush is a GDI object but no bitmap.
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_FALSE(GetBitmapBits32(reinterpret_cast<HBITMAP>(brush), width, height, pixels, info));
    DeleteObject(brush);
}

TEST(BitmapBits, TopDownSectionComesOutBottomUp) {
    // A DIB section stored top-down (negative height) still gives bottom-up rows.
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 2;
    bi.bmiHeader.biHeight = -3;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    auto* px = static_cast<uint32_t*>(bits);
    for (int i = 0; i < 6; ++i) px[i] = 0x00010101u * static_cast<uint32_t>(i + 1);   // row 0 first
    GdiFlush();

    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    BITMAPINFO info;
    ASSERT_TRUE(GetBitmapBits32(section, width, height, pixels, info));
    EXPECT_EQ(width, 2);
    EXPECT_EQ(height, 3);
    EXPECT_EQ(info.bmiHeader.biHeight, 3);
    ASSERT_EQ(pixels.size(), 24u);
    EXPECT_EQ(pixels[0], 5);        // bottom row (row 2) comes first
    EXPECT_EQ(pixels[16], 1);       // top row last
    EXPECT_EQ(pixels[20], 2);
    DeleteObject(section);
}
