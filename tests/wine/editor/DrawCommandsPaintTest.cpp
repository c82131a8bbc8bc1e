// The draw commands painting onto a memory DC: lines and arrows through graphin.dll,
// frames, labels, areas and text through GDI, and the Blur tool's pixelation.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "editor/DrawArrowCommand.h"
#include "editor/DrawRectCommand.h"
#include "editor/DrawSelectedAreaCommand.h"
#include "editor/DrawSelectionCommand.h"
#include "editor/DrawSelectionSizeCommand.h"
#include "editor/DrawTextCommand.h"
#include "editor/PixelateBitmap.h"
#include "foundation/BitmapBits.h"
#include "tests/wine/editor/GraphinForTests.h"

namespace {

constexpr COLORREF kGrey = RGB(0x80, 0x80, 0x80);
constexpr COLORREF kRed = RGB(255, 0, 0);

// A 300x200 device bitmap filled with grey, selected into a memory DC.
class Canvas {
public:
    explicit Canvas(COLORREF fill = kGrey) {
        HDC screen = GetDC(nullptr);
        m_dc = CreateCompatibleDC(screen);
        m_bitmap = CreateCompatibleBitmap(screen, 300, 200);
        ReleaseDC(nullptr, screen);
        m_old = SelectObject(m_dc, m_bitmap);
        RECT all = {0, 0, 300, 200};
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(m_dc, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    HDC dc() const { return m_dc; }
    COLORREF At(int x, int y) const { return GetPixel(m_dc, x, y); }
    // The rows holding at least one pixel of `colour`: first and last, -1 when none.
    void RowsWith(COLORREF colour, int& first, int& last) const {
        first = last = -1;
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 300; ++x) {
                if (At(x, y) == colour) {
                    if (first < 0) first = y;
                    last = y;
                    break;
                }
            }
        }
    }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
};

}  // namespace

TEST(DrawCommandsPaint, ArrowAndRectangleThroughGraphin) {
    GraphinForTests graphin;
    ASSERT_TRUE(graphin.ok());
    Canvas canvas;
    DrawArrowCommand(100, 100, 200, 100, 6, kRed).Draw(canvas.dc());
    EXPECT_EQ(canvas.At(150, 100), kRed);   // shaft
    EXPECT_EQ(canvas.At(195, 100), kRed);   // head near the tip
    EXPECT_EQ(canvas.At(184, 106), kRed);   // head, towards a back corner
    EXPECT_EQ(canvas.At(150, 106), kGrey);  // beside the shaft
    EXPECT_EQ(canvas.At(203, 100), kGrey);  // beyond the tip
    EXPECT_EQ(canvas.At(90, 100), kGrey);   // behind the tail
    EXPECT_EQ(canvas.At(89, 89), kGrey);    // the image's corner: nothing drawn there

    DrawRectCommand(20, 80, 130, 180, 3, kRed).Draw(canvas.dc());
    EXPECT_EQ(canvas.At(20, 150), kRed);
    EXPECT_EQ(canvas.At(80, 150), kRed);
    EXPECT_EQ(canvas.At(50, 130), kRed);
    EXPECT_EQ(canvas.At(50, 180), kRed);
    EXPECT_EQ(canvas.At(50, 155), kGrey);   // inside stays
}

TEST(DrawCommandsPaint, DashedFrameAndHandles) {
    for (bool handles : {true, false}) {
        SCOPED_TRACE(handles ? "with handles" : "without handles");
        Canvas canvas;
        DrawSelectionCommand(20, 20, 100, 50, handles).Draw(canvas.dc());
        EXPECT_EQ(canvas.At(40, 20), RGB(0, 0, 0));           // first segment black...
        EXPECT_EQ(canvas.At(44, 20), RGB(255, 255, 255));     // ...then 8 px white
        EXPECT_EQ(canvas.At(70, 45), kGrey);                  // inside
        EXPECT_EQ(canvas.At(120, 24), RGB(0, 0, 0));          // right edge starts black at the top
        EXPECT_EQ(canvas.At(120, 30), RGB(255, 255, 255));
        // The handle at the top-left corner: black 6x6, white outline one pixel outside.
        EXPECT_EQ(canvas.At(18, 18), handles ? RGB(0, 0, 0) : kGrey);
        EXPECT_EQ(canvas.At(16, 16), handles ? RGB(255, 255, 255) : kGrey);
        EXPECT_EQ(canvas.At(68, 18), handles ? RGB(0, 0, 0) : kGrey);   // top mid-point
    }
}

TEST(DrawCommandsPaint, SizeLabelIsWhiteOnBlack) {
    Canvas canvas;
    DrawSelectionSizeCommand(10, 10, 640, 480).Draw(canvas.dc());
    EXPECT_EQ(canvas.At(11, 11), RGB(0, 0, 0));   // the leading space: opaque black
    int white = 0;
    for (int y = 10; y < 30; ++y) {
        for (int x = 10; x < 80; ++x) white += canvas.At(x, y) == RGB(255, 255, 255);
    }
    EXPECT_GT(white, 10);
    EXPECT_EQ(canvas.At(5, 5), kGrey);
}

TEST(DrawCommandsPaint, TextHonoursLineBreaks) {
    int oneFirst, oneLast, twoFirst, twoLast;
    {
        Canvas canvas;
        DrawTextCommand(10, 10, L"Hi", kRed, L"Arial", 200).Draw(canvas.dc());
        canvas.RowsWith(kRed, oneFirst, oneLast);
        EXPECT_EQ(canvas.At(5, 5), kGrey) << "transparent background";
    }
    {
        Canvas canvas;
        DrawTextCommand(10, 10, L"Hi\r\nHi", kRed, L"Arial", 200).Draw(canvas.dc());
        canvas.RowsWith(kRed, twoFirst, twoLast);
    }
    ASSERT_GE(oneFirst, 10);
    EXPECT_EQ(twoFirst, oneFirst);
    EXPECT_GT(twoLast - twoFirst, 2 * (oneLast - oneFirst));
}

TEST(DrawCommandsPaint, SelectedAreaCopiesFromTheSameSpot) {
    Canvas source(RGB(0, 0, 255));
    Canvas target;
    HBITMAP bitmap = static_cast<HBITMAP>(GetCurrentObject(source.dc(), OBJ_BITMAP));
    // The bitmap cannot be in two DCs: take it out of the source's while drawing.
    HBITMAP spare = CreateCompatibleBitmap(source.dc(), 1, 1);
    SelectObject(source.dc(), spare);
    DrawSelectedAreaCommand(5, 6, 10, 12, bitmap).Draw(target.dc());
    SelectObject(source.dc(), bitmap);
    DeleteObject(spare);
    EXPECT_EQ(target.At(5, 6), RGB(0, 0, 255));
    EXPECT_EQ(target.At(14, 17), RGB(0, 0, 255));
    EXPECT_EQ(target.At(15, 17), kGrey);
    EXPECT_EQ(target.At(4, 6), kGrey);
}

TEST(PixelateBitmapWin, BitmapMatchesTheBufferPixelation) {
    const int w = 45, h = 30;
    std::vector<uint8_t> pixels(w * h * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>((i * 37) ^ (i >> 3));
    HDC screen = GetDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    ASSERT_EQ(SetDIBits(screen, bitmap, 0, h, pixels.data(), &info, DIB_RGB_COLORS), h);
    ReleaseDC(nullptr, screen);

    int bw, bh;
    std::vector<uint8_t> expected;
    BITMAPINFO readInfo;
    ASSERT_TRUE(GetBitmapBits32(bitmap, bw, bh, expected, readInfo));
    PixelatePixels(expected.data(), bw, bh);

    ASSERT_TRUE(PixelateBitmap(bitmap));
    std::vector<uint8_t> actual;
    ASSERT_TRUE(GetBitmapBits32(bitmap, bw, bh, actual, readInfo));
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        if (i % 4 == 3) continue;
        ASSERT_EQ(actual[i], expected[i]) << "byte " << i;
    }
    DeleteObject(bitmap);
    EXPECT_FALSE(PixelateBitmap(nullptr));
}
