// The Windows bitmap bridge: clipboard blocks (also across processes), bitmaps,
// icons, drawing with alpha and clipping, and text painted into images.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../../native/image/OpsTestSupport.h"
#include "image/PxImage.h"

using opstest::Rgb;

namespace {
const wchar_t kChildVariable[] = L"BRIVANE_CLIPBOARD_DIB_CHILD";

// A 37 x 23 image with row padding and every pixel distinct.
void MakeClipboardImage(PxImage& im) { opstest::Numbered(im, 37, 23); }

// Child mode: the test executable started again by ClipboardDibReadsBackInASecondProcess.
// It reads CF_DIB from the clipboard and writes the hash of what it read into
// the file named by the variable, then ends without running any test.
int RunClipboardChildIfAsked() {
    wchar_t out[MAX_PATH];
    if (!GetEnvironmentVariableW(kChildVariable, out, MAX_PATH)) return 0;
    unsigned long long hash = 0;
    if (OpenClipboard(nullptr)) {
        HANDLE data = GetClipboardData(CF_DIB);
        PxImage im;
        if (data && im.CreateFromHANDLE(static_cast<HGLOBAL>(data))) hash = opstest::Hash(im);
        CloseClipboard();
    }
    FILE* f = _wfopen(out, L"w");
    if (f) {
        std::fprintf(f, "%016llx", hash);
        std::fclose(f);
    }
    ExitProcess(hash ? 0 : 3);
}
const int kChildMode = RunClipboardChildIfAsked();

std::wstring TempFile(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name + std::to_wstring(GetCurrentProcessId());
}

// A 24-bit DIB section on a memory DC, filled with one colour.
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint8_t* bits = nullptr;
    long w, h, rowBytes;
    Canvas(long width, long height, RGBQUAD fill) : w(width), h(height), rowBytes(((width * 3) + 3) & ~3L) {
        BITMAPINFO bmi;
        std::memset(&bmi, 0, sizeof(bmi));
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = w;
        bmi.bmiHeader.biHeight = h;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 24;
        dc = CreateCompatibleDC(nullptr);
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint8_t*>(p);
        old = SelectObject(dc, bitmap);
        for (long y = 0; y < h; ++y)
            for (long x = 0; x < w; ++x) {
                uint8_t* q = bits + y * rowBytes + 3 * x;
                q[0] = fill.rgbBlue;
                q[1] = fill.rgbGreen;
                q[2] = fill.rgbRed;
            }
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    // Device pixel (x, y), y from the top.
    RGBQUAD At(long x, long y) {
        GdiFlush();
        const uint8_t* q = bits + (h - 1 - y) * rowBytes + 3 * x;
        return Rgb(q[2], q[1], q[0]);
    }
};

// An image of four pixels in a row: opaque black, fully transparent white,
// half-transparent white, opaque red.
void MakeAlphaStrip(PxImage& im) {
    im.Create(4, 1, 24);
    im.SetPixelColor(0, 0, Rgb(0, 0, 0));
    im.SetPixelColor(1, 0, Rgb(255, 255, 255));
    im.SetPixelColor(2, 0, Rgb(255, 255, 255));
    im.SetPixelColor(3, 0, Rgb(255, 0, 0));
    im.AlphaCreate();
    im.AlphaSet(1, 0, 0);
    im.AlphaSet(2, 0, 128);
}
}  // namespace

TEST(PxImageBridgeWin, CopyToHandleHoldsThePackedDib) {
    PxImage empty;
    EXPECT_EQ(empty.CopyToHandle(), nullptr);
    PxImage im;
    MakeClipboardImage(im);
    im.SetXDPI(300);
    HGLOBAL block = im.CopyToHandle();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), im.GetSize());
    const BITMAPINFOHEADER* h = static_cast<const BITMAPINFOHEADER*>(GlobalLock(block));
    EXPECT_EQ(h->biWidth, 37);
    EXPECT_EQ(h->biXPelsPerMeter, 11811);
    GlobalUnlock(block);
    PxImage back;
    ASSERT_TRUE(back.CreateFromHANDLE(block)) << back.GetLastError();
    EXPECT_EQ(opstest::Hash(back), opstest::Hash(im));
    EXPECT_EQ(back.GetXDPI(), 300);
    GlobalFree(block);
    EXPECT_FALSE(back.CreateFromHANDLE(nullptr));
    EXPECT_FALSE(back.IsValid());
}

TEST(PxImageBridgeWin, ClipboardDibReadsBackInASecondProcess) {
    ASSERT_EQ(kChildMode, 0);
    PxImage im;
    MakeClipboardImage(im);
    HWND owner = CreateWindowExW(0, L"STATIC", L"clipboard owner", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    bool opened = false;
    for (int i = 0; i < 50 && !(opened = OpenClipboard(owner)); ++i) Sleep(20);
    ASSERT_TRUE(opened);
    EmptyClipboard();
    HGLOBAL block = im.CopyToHandle();
    ASSERT_NE(block, nullptr);
    ASSERT_NE(SetClipboardData(CF_DIB, block), nullptr);  // the clipboard owns the block now
    CloseClipboard();

    std::wstring out = TempFile(L"pxclip_");
    DeleteFileW(out.c_str());
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --gtest_list_tests";
    SetEnvironmentVariableW(kChildVariable, out.c_str());
    STARTUPINFOW si;
    std::memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    BOOL started = CreateProcessW(exe, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(kChildVariable, nullptr);
    ASSERT_TRUE(started);
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    DestroyWindow(owner);

    char text[32] = {0};
    FILE* f = _wfopen(out.c_str(), L"r");
    ASSERT_NE(f, nullptr);
    std::fgets(text, sizeof(text), f);
    std::fclose(f);
    DeleteFileW(out.c_str());
    EXPECT_EQ(code, 0u);
    char want[32];
    std::snprintf(want, sizeof(want), "%016llx", static_cast<unsigned long long>(opstest::Hash(im)));
    EXPECT_STREQ(text, want);
}

TEST(PxImageBridgeWin, BitmapRoundTrips) {
    PxImage im;
    MakeClipboardImage(im);
    HBITMAP section = im.MakeBitmap(nullptr);
    ASSERT_NE(section, nullptr);
    PxImage back;
    ASSERT_TRUE(back.CreateFromHBITMAP(section)) << back.GetLastError();
    EXPECT_EQ(back.GetBpp(), 24);
    EXPECT_EQ(opstest::Hash(back), opstest::Hash(im));
    DeleteObject(section);

    HDC screen = GetDC(nullptr);
    HBITMAP ddb = im.MakeBitmap(screen);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(ddb, nullptr);
    PxImage fromDdb;
    ASSERT_TRUE(fromDdb.CreateFromHBITMAP(ddb)) << fromDdb.GetLastError();
    EXPECT_EQ(fromDdb.GetWidth(), 37u);
    EXPECT_TRUE(opstest::Same(fromDdb.GetPixelColor(5, 7), im.GetPixelColor(5, 7)));
    DeleteObject(ddb);

    PxImage empty;
    EXPECT_EQ(empty.MakeBitmap(nullptr), nullptr);
}

TEST(PxImageBridgeWin, FailedBitmapReadLeavesNoImage) {
    PxImage im;
    MakeClipboardImage(im);
    EXPECT_FALSE(im.CreateFromHBITMAP(nullptr));
    EXPECT_FALSE(im.IsValid());
    MakeClipboardImage(im);
    // A handle that names no bitmap: never a valid-looking image of unset pixels.
    HBITMAP gone = CreateBitmap(4, 4, 1, 32, nullptr);
    DeleteObject(gone);
    EXPECT_FALSE(im.CreateFromHBITMAP(gone));
    EXPECT_FALSE(im.IsValid());
}

TEST(PxImageBridgeWin, IconMaskBecomesAlpha) {
    PxImage colour;
    opstest::Solid(colour, 16, 16, Rgb(0, 0, 255));
    HBITMAP colourBmp = colour.MakeBitmap(nullptr);
    // AND mask: 1 = transparent; the left half of every row transparent.
    std::vector<uint8_t> maskBits(16 * 2, 0);
    for (int y = 0; y < 16; ++y) maskBits[2 * y] = 0xFF;
    HBITMAP maskBmp = CreateBitmap(16, 16, 1, 1, maskBits.data());
    ICONINFO ii = {TRUE, 0, 0, maskBmp, colourBmp};
    HICON icon = CreateIconIndirect(&ii);
    DeleteObject(colourBmp);
    DeleteObject(maskBmp);
    ASSERT_NE(icon, nullptr);
    PxImage im;
    ASSERT_TRUE(im.CreateFromHICON(icon));
    DestroyIcon(icon);
    ASSERT_TRUE(im.AlphaIsValid());
    EXPECT_EQ(im.AlphaGet(2, 5), 0);
    EXPECT_EQ(im.AlphaGet(12, 5), 255);
    EXPECT_TRUE(opstest::Same(im.GetPixelColor(12, 5), Rgb(0, 0, 255)));
    EXPECT_FALSE(im.CreateFromHICON(nullptr));
}

TEST(PxImageBridgeWin, DrawCompositesAlphaOntoAMemoryDc) {
    PxImage im;
    MakeAlphaStrip(im);
    Canvas canvas(10, 6, Rgb(40, 80, 120));
    EXPECT_EQ(im.Draw(canvas.dc, 3, 2), 1);
    EXPECT_TRUE(opstest::Same(canvas.At(3, 2), Rgb(0, 0, 0)));          // opaque black stays black
    EXPECT_TRUE(opstest::Same(canvas.At(4, 2), Rgb(40, 80, 120)));      // fully transparent
    EXPECT_TRUE(opstest::Same(canvas.At(5, 2), Rgb((255 * 128 + 40 * 127) >> 8, (255 * 128 + 80 * 127) >> 8,
                                                   (255 * 128 + 120 * 127) >> 8)));
    EXPECT_TRUE(opstest::Same(canvas.At(6, 2), Rgb(255, 0, 0)));
    EXPECT_TRUE(opstest::Same(canvas.At(2, 2), Rgb(40, 80, 120)));
    EXPECT_TRUE(opstest::Same(canvas.At(3, 3), Rgb(40, 80, 120)));
    // Scaled to twice the size, each image pixel covers 2 x 2 device pixels.
    Canvas big(10, 6, Rgb(40, 80, 120));
    EXPECT_EQ(im.Draw(big.dc, 0, 0, 8, 2), 1);
    EXPECT_TRUE(opstest::Same(big.At(1, 1), Rgb(0, 0, 0)));
    EXPECT_TRUE(opstest::Same(big.At(7, 0), Rgb(255, 0, 0)));
    EXPECT_EQ(im.Draw(big.dc, 0, 0, 0, 2), 0);
    PxImage empty;
    EXPECT_EQ(empty.Draw(big.dc), 0);
}

TEST(PxImageBridgeWin, DrawOfAnOpaqueImageAtAnySize) {
    PxImage im;
    opstest::Numbered(im, 3, 2);
    Canvas canvas(8, 8, Rgb(1, 1, 1));
    EXPECT_EQ(im.Draw(canvas.dc, 1, 1, -1, -1), 1);  // natural size
    EXPECT_TRUE(opstest::Same(canvas.At(1, 1), im.GetPixelColor(0, 1)));
    EXPECT_TRUE(opstest::Same(canvas.At(3, 2), im.GetPixelColor(2, 0)));
    EXPECT_TRUE(opstest::Same(canvas.At(4, 1), Rgb(1, 1, 1)));
    Canvas scaled(8, 8, Rgb(1, 1, 1));
    EXPECT_EQ(im.Draw(scaled.dc, 0, 0, 6, 4), 1);
    EXPECT_TRUE(opstest::Same(scaled.At(5, 3), im.GetPixelColor(2, 0)));
    EXPECT_TRUE(opstest::Same(scaled.At(6, 0), Rgb(1, 1, 1)));
}

TEST(PxImageBridgeWin, DrawRestoresTheClipRegion) {
    PxImage im;
    opstest::Solid(im, 8, 8, Rgb(255, 0, 0));
    im.AlphaCreate();
    // A DC without a clip region keeps having none.
    Canvas plain(8, 8, Rgb(0, 0, 0));
    RECT clip = {2, 2, 4, 4};
    EXPECT_EQ(im.Draw(plain.dc, 0, 0, -1, -1, &clip), 1);
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(plain.dc, probe), 0);
    EXPECT_TRUE(opstest::Same(plain.At(2, 2), Rgb(255, 0, 0)));
    EXPECT_TRUE(opstest::Same(plain.At(1, 1), Rgb(0, 0, 0)));
    EXPECT_TRUE(opstest::Same(plain.At(4, 4), Rgb(0, 0, 0)));
    // A region of two rectangles comes back whole, not as its bounding box.
    Canvas two(8, 8, Rgb(0, 0, 0));
    HRGN a = CreateRectRgn(0, 0, 2, 2), b = CreateRectRgn(5, 5, 8, 8), both = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(both, a, b, RGN_OR);
    SelectClipRgn(two.dc, both);
    RECT wide = {0, 0, 8, 8};
    EXPECT_EQ(im.Draw(two.dc, 0, 0, -1, -1, &wide), 1);
    ASSERT_EQ(GetClipRgn(two.dc, probe), 1);
    EXPECT_TRUE(EqualRgn(probe, both));
    EXPECT_TRUE(opstest::Same(two.At(1, 1), Rgb(255, 0, 0)));
    EXPECT_TRUE(opstest::Same(two.At(3, 3), Rgb(0, 0, 0)));
    DeleteObject(a);
    DeleteObject(b);
    DeleteObject(both);
    DeleteObject(probe);
}

TEST(PxImageBridgeWin, MaskedDrawAndStretch) {
    PxImage im;
    opstest::Solid(im, 2, 1, Rgb(0, 255, 0));
    im.SetPixelColor(1, 0, Rgb(10, 20, 30));
    im.SetTransIndex(0);
    im.SetTransColor(Rgb(0, 255, 0));
    Canvas canvas(4, 2, Rgb(200, 200, 200));
    EXPECT_EQ(im.Draw2(canvas.dc, 0, 0), 1);
    EXPECT_TRUE(opstest::Same(canvas.At(0, 0), Rgb(200, 200, 200)));
    EXPECT_TRUE(opstest::Same(canvas.At(1, 0), Rgb(10, 20, 30)));
    Canvas stretched(4, 2, Rgb(0, 0, 0));
    EXPECT_EQ(im.Stretch(stretched.dc, 0, 0, 4, 2), 1);
    EXPECT_TRUE(opstest::Same(stretched.At(3, 1), Rgb(10, 20, 30)));
    EXPECT_TRUE(opstest::Same(stretched.At(0, 1), Rgb(0, 255, 0)));
    PxImage empty;
    EXPECT_EQ(empty.Stretch(stretched.dc, 0, 0, 4, 2), 0);
    EXPECT_EQ(empty.Draw2(stretched.dc, 0, 0), 0);
}

TEST(PxImageBridgeWin, DrawStringPaintsIntoTheImage) {
    PxImage empty;
    EXPECT_EQ(empty.DrawString(nullptr, 0, 0, L"x", Rgb(255, 0, 0), L"Arial", 20), 0);
    PxImage im;
    opstest::Solid(im, 60, 30, Rgb(0, 0, 0));
    EXPECT_EQ(im.DrawString(nullptr, 2, 2, L"Hi", Rgb(255, 255, 0), L"Arial", 24, 700), 1);
    int painted = 0, stray = 0;
    for (long y = 0; y < 30; ++y)
        for (long x = 0; x < 60; ++x) {
            RGBQUAD c = im.GetPixelColor(x, y);
            if (opstest::Same(c, Rgb(255, 255, 0))) ++painted;
            else if (!opstest::Same(c, Rgb(0, 0, 0))) ++stray;
        }
    EXPECT_GT(painted, 20);
    EXPECT_EQ(stray, 0);
    // Nothing above the text's top (image rows above y = 2 from the top).
    for (long x = 0; x < 60; ++x) EXPECT_TRUE(opstest::Same(im.GetPixelColor(x, 29), Rgb(0, 0, 0)));
}

TEST(PxImageBridgeWin, TextInfoDefaultsAndBoxedText) {
    PxImage::tagPxTextInfo info;
    PxImage::InitTextInfo(&info);
    EXPECT_EQ(info.lfont.lfHeight, -36);
    EXPECT_EQ(info.lfont.lfCharSet, 238);
    EXPECT_STREQ(info.lfont.lfFaceName, L"Arial");
    EXPECT_EQ(info.fcolor, RGB(255, 255, 160));
    EXPECT_EQ(info.align, 1);
    PxImage empty;
    EXPECT_EQ(empty.DrawStringEx(nullptr, 0, 0, &info), -1);
    PxImage im;
    opstest::Solid(im, 300, 100, Rgb(0, 0, 0));
    EXPECT_EQ(im.DrawStringEx(nullptr, 150, 30, &info), 1);
    int box = 0, text = 0;
    for (long y = 0; y < 100; ++y)
        for (long x = 0; x < 300; ++x) {
            RGBQUAD c = im.GetPixelColor(x, y);
            if (opstest::Same(c, Rgb(32, 96, 0))) ++box;
            if (opstest::Same(c, Rgb(255, 255, 160))) ++text;
        }
    EXPECT_GT(box, 100);
    EXPECT_GT(text, 20);
}

TEST(PxImageBridgeWin, TileRepeatsAndClipsCopies) {
    PxImage im;
    opstest::Numbered(im, 2, 2);
    Canvas canvas(8, 4, Rgb(0, 0, 0));
    RECT r = {1, 0, 6, 3};
    EXPECT_EQ(im.Tile(canvas.dc, &r), 1);
    for (long y = 0; y < 3; ++y)
        for (long x = 1; x < 6; ++x)
            EXPECT_TRUE(opstest::Same(canvas.At(x, y), im.GetPixelColor((x - 1) % 2, 1 - y % 2))) << x << "," << y;
    EXPECT_TRUE(opstest::Same(canvas.At(6, 0), Rgb(0, 0, 0)));
    EXPECT_TRUE(opstest::Same(canvas.At(1, 3), Rgb(0, 0, 0)));
    EXPECT_EQ(im.Tile(canvas.dc, nullptr), 0);
    // A disabled image is not drawn.
    im.Enable(false);
    Canvas off(4, 4, Rgb(0, 0, 0));
    EXPECT_EQ(im.Draw(off.dc, 0, 0), 0);
    EXPECT_TRUE(opstest::Same(off.At(0, 0), Rgb(0, 0, 0)));
}
