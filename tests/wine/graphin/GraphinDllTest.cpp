// graphin.dll loaded the way the program loads it (by ordinal), drawing onto memory DCs.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "graphin/graphin.h"

namespace {

struct Graphin {
    HMODULE module = nullptr;
    GraphinCreateImageFn CreateImage = nullptr;
    GraphinReleaseImageFn ReleaseImage = nullptr;
    GraphinBlitImageFn BlitImage = nullptr;
    GraphinCreateGraphicsFn CreateGraphics = nullptr;
    GraphinReleaseGraphicsFn ReleaseGraphics = nullptr;
    GraphinMakeColorFn MakeColor = nullptr;
    GraphinDrawLineFn DrawLine = nullptr;
    GraphinDrawTriangleFn DrawTriangle = nullptr;
    GraphinSetLineWidthFn SetLineWidth = nullptr;
    GraphinSetColorFn SetLineColor = nullptr;
    GraphinSetColorFn SetFillColor = nullptr;
};

template <typename Fn>
void ByOrdinal(HMODULE module, int ordinal, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
}

class GraphinDll : public ::testing::Test {
protected:
    void SetUp() override {
        g.module = LoadLibraryW(BRIVANE_GRAPHIN_DLL);
        ASSERT_TRUE(g.module) << "error " << GetLastError();
        ByOrdinal(g.module, 1, g.CreateImage);
        ByOrdinal(g.module, 2, g.ReleaseImage);
        ByOrdinal(g.module, 4, g.BlitImage);
        ByOrdinal(g.module, 10, g.CreateGraphics);
        ByOrdinal(g.module, 11, g.ReleaseGraphics);
        ByOrdinal(g.module, 12, g.MakeColor);
        ByOrdinal(g.module, 13, g.DrawLine);
        ByOrdinal(g.module, 14, g.DrawTriangle);
        ByOrdinal(g.module, 40, g.SetLineWidth);
        ByOrdinal(g.module, 41, g.SetLineColor);
        ByOrdinal(g.module, 42, g.SetFillColor);
        ASSERT_TRUE(g.CreateImage && g.ReleaseImage && g.BlitImage && g.CreateGraphics && g.ReleaseGraphics &&
                    g.MakeColor && g.DrawLine && g.DrawTriangle && g.SetLineWidth && g.SetLineColor &&
                    g.SetFillColor);
        screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
    }
    void TearDown() override {
        if (dc && original) SelectObject(dc, original);
        if (dc) DeleteDC(dc);
        if (screen) ReleaseDC(nullptr, screen);
        if (bitmap) DeleteObject(bitmap);
    }

    // A 100x60 target filled with grey 0x404040: a DIB section or a device bitmap.
    void Target(bool dibSection) {
        if (bitmap) {
            SelectObject(dc, original);
            DeleteObject(bitmap);
            bitmap = nullptr;
        }
        if (dibSection) {
            BITMAPINFO info = {};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = 100;
            info.bmiHeader.biHeight = 60;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            void* bits = nullptr;
            bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        } else {
            bitmap = CreateCompatibleBitmap(screen, 100, 60);
        }
        ASSERT_TRUE(bitmap);
        HGDIOBJ old = SelectObject(dc, bitmap);
        if (!original) original = old;
        RECT all = {0, 0, 100, 60};
        HBRUSH grey = CreateSolidBrush(kGrey);
        FillRect(dc, &all, grey);
        DeleteObject(grey);
    }

    // A red stroke of width 3 from (5, 10) to (35, 10) on a 40x20 image, blitted at (x, y).
    void DrawRedLineAt(int x, int y) {
        GraphinImage image = nullptr;
        ASSERT_EQ(g.CreateImage(40, 20, &image), kGraphinOk);
        GraphinGraphics graphics = nullptr;
        ASSERT_EQ(g.CreateGraphics(image, &graphics), kGraphinOk);
        g.SetLineWidth(graphics, 3.0);
        g.SetLineColor(graphics, g.MakeColor(255, 0, 0, 0));
        g.DrawLine(graphics, 5, 10, 35, 10);
        g.BlitImage(dc, x, y, image, 0, 0, 40, 20, 1);
        g.ReleaseGraphics(graphics);
        g.ReleaseImage(image);
    }

    static constexpr COLORREF kGrey = RGB(0x40, 0x40, 0x40);
    Graphin g;
    HDC screen = nullptr;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ original = nullptr;
};

TEST_F(GraphinDll, ExportsItsNamesAtTheirOrdinals) {
    const struct {
        const char* name;
        int ordinal;
    } exports[] = {{"GraphinCreateImage", 1},     {"GraphinReleaseImage", 2},  {"GraphinBlitImage", 4},
                   {"GraphinCreateGraphics", 10}, {"GraphinReleaseGraphics", 11}, {"GraphinMakeColor", 12},
                   {"GraphinDrawLine", 13},       {"GraphinDrawTriangle", 14}, {"GraphinSetLineWidth", 40},
                   {"GraphinSetLineColor", 41},   {"GraphinSetFillColor", 42}};
    for (const auto& e : exports) {
        SCOPED_TRACE(e.name);
        FARPROC byName = GetProcAddress(g.module, e.name);
        EXPECT_TRUE(byName);
        EXPECT_EQ(byName, GetProcAddress(g.module, MAKEINTRESOURCEA(e.ordinal)));
    }
}

TEST_F(GraphinDll, LineBlitsOntoDibSectionsAndDeviceBitmaps) {
    for (bool dib : {true, false}) {
        SCOPED_TRACE(dib ? "DIB section" : "device bitmap");
        Target(dib);
        DrawRedLineAt(20, 15);
        EXPECT_EQ(GetPixel(dc, 40, 25), RGB(255, 0, 0));   // on the stroke
        EXPECT_EQ(GetPixel(dc, 40, 31), kGrey);            // beside it: the transparent image leaves the target
        EXPECT_EQ(GetPixel(dc, 22, 25), kGrey);
        EXPECT_EQ(GetPixel(dc, 90, 50), kGrey);            // outside the image
        // The anti-aliased edge mixes red into the grey.
        COLORREF edge = GetPixel(dc, 40, 26);
        EXPECT_GT(GetRValue(edge), 0x40);
        EXPECT_LT(GetRValue(edge), 255);
    }
}

TEST_F(GraphinDll, BlitIsClippedAtNegativePositions) {
    Target(true);
    DrawRedLineAt(-20, -10);   // the stroke's right half lands at (0..15, 0)
    EXPECT_EQ(GetPixel(dc, 10, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 10, 5), kGrey);
    EXPECT_EQ(GetPixel(dc, 30, 0), kGrey);
}

TEST_F(GraphinDll, FilledTriangleWithInvisibleOutline) {
    Target(true);
    GraphinImage image = nullptr;
    g.CreateImage(60, 60, &image);
    GraphinGraphics graphics = nullptr;
    g.CreateGraphics(image, &graphics);
    g.SetLineWidth(graphics, 6.0);
    g.SetLineColor(graphics, g.MakeColor(0, 0, 255, 255));
    g.SetFillColor(graphics, g.MakeColor(0, 0, 255, 0));
    g.DrawTriangle(graphics, 10, 50, 30, 10, 50, 50);
    g.BlitImage(dc, 0, 0, image, 0, 0, 60, 60, 1);
    g.ReleaseGraphics(graphics);
    g.ReleaseImage(image);
    EXPECT_EQ(GetPixel(dc, 30, 40), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 30, 52), kGrey);   // 2 px below the base: a visible outline would reach it
}

TEST_F(GraphinDll, BadInputIsRefusedOrIgnored) {
    Target(true);
    GraphinImage image = reinterpret_cast<GraphinImage>(1);
    EXPECT_NE(g.CreateImage(0, 10, &image), kGraphinOk);
    EXPECT_EQ(image, nullptr);
    EXPECT_NE(g.CreateGraphics(nullptr, nullptr), kGraphinOk);
    EXPECT_NE(g.DrawLine(nullptr, 0, 0, 1, 1), kGraphinOk);
    EXPECT_NE(g.BlitImage(dc, 0, 0, nullptr, 0, 0, 10, 10, 1), kGraphinOk);
    g.ReleaseGraphics(nullptr);
    g.ReleaseImage(nullptr);

    g.CreateImage(20, 20, &image);
    GraphinGraphics graphics = nullptr;
    g.CreateGraphics(image, &graphics);
    g.SetLineColor(graphics, g.MakeColor(255, 0, 0, 0));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    g.DrawLine(graphics, nan, 0, 10, 10);
    g.DrawTriangle(graphics, 0, 0, 10, nan, 5, 5);
    g.BlitImage(dc, 0, 0, image, 0, 0, 20, 20, 1);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) ASSERT_EQ(GetPixel(dc, x, y), kGrey) << x << "," << y;
    }
    g.ReleaseGraphics(graphics);
    g.ReleaseImage(image);
}

}  // namespace
