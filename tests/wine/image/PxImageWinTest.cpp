// Image library paths that need Win32: resources, wide paths, regions, GDI pixels.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/PxImage.h"

namespace {
std::wstring TempFolder() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, buf);
    return std::wstring(buf, n);
}

std::vector<uint8_t> ReadAll(const std::wstring& path) {
    std::vector<uint8_t> out;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    DWORD size = GetFileSize(h, nullptr), got = 0;
    out.resize(size);
    if (!ReadFile(h, out.data(), size, &got, nullptr)) out.clear();
    out.resize(got);
    CloseHandle(h);
    return out;
}
}  // namespace

TEST(PxImageWin, LoadsPngResourceWithAlpha) {
    HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(1), L"PNG");
    ASSERT_NE(res, nullptr);
    PxImage im;
    ASSERT_TRUE(im.LoadResource(res, PxFormatPNG, nullptr)) << im.GetLastError();
    EXPECT_EQ(im.GetWidth(), 16u);
    EXPECT_EQ(im.GetHeight(), 12u);
    EXPECT_EQ(im.GetType(), static_cast<uint32_t>(PxFormatPNG));
    ASSERT_TRUE(im.AlphaIsValid());
    EXPECT_EQ(im.AlphaGet(0, 11), 255);  // top row opaque
    EXPECT_EQ(im.AlphaGet(0, 0), 0);     // bottom row transparent
    // The same bytes read from the file give the same image.
    std::string dataDir = BRIVANE_TEST_DATA_DIR;
    std::wstring filePath = std::wstring(dataDir.begin(), dataDir.end()) + L"/image/resource.png";
    PxImage file(filePath.c_str(), PxFormatPNG);
    ASSERT_TRUE(file.IsValid()) << file.GetLastError();
    for (long y = 0; y < 12; ++y)
        for (long x = 0; x < 16; ++x) {
            RGBQUAD a = im.GetPixelColor(x, y, true), b = file.GetPixelColor(x, y, true);
            ASSERT_EQ(std::memcmp(&a, &b, sizeof(a)), 0) << x << "," << y;
        }
}

TEST(PxImageWin, MissingResourceFails) {
    PxImage im;
    EXPECT_FALSE(im.LoadResource(nullptr, PxFormatPNG, nullptr));
    EXPECT_STREQ(im.GetLastError(), "Unable to load resource!");
}

TEST(PxImageWin, SavesAndLoadsNonAsciiPath) {
    std::wstring path = TempFolder() + L"\u0421\u043d\u0438\u043c\u043e\u043a \u00fc\u00e9 \u65e5\u672c.png";
    PxImage im(7, 5, 24, 0);
    im.SetPixelColor(3, 2, RGB(10, 200, 30));
    ASSERT_TRUE(im.Save(path.c_str(), PxFormatPNG)) << im.GetLastError();
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    PxImage back;
    ASSERT_TRUE(back.Load(path.c_str(), PxFormatUnknown)) << back.GetLastError();
    EXPECT_EQ(back.GetWidth(), 7u);
    EXPECT_EQ(back.GetPixelColor(3, 2).rgbGreen, 200);
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST(PxImageWin, FailedSaveLeavesNoFile) {
    std::wstring path = TempFolder() + L"\u00e9mpty.png";
    PxImage empty;
    EXPECT_FALSE(empty.Save(path.c_str(), PxFormatPNG));
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(PxImageWin, SelectionToRegion) {
    PxImage im(6, 3, 24, 0);
    ASSERT_TRUE(im.SelectionAddRect(RECT{1, 1, 4, 0}));  // row 0, columns 1..3
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_TRUE(im.SelectionToHRGN(region));
    RECT box;
    GetRgnBox(region, &box);
    EXPECT_EQ(box.left, 1);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 4);
    EXPECT_EQ(box.bottom, 1);
    DeleteObject(region);
    HRGN none = nullptr;
    EXPECT_FALSE(im.SelectionToHRGN(none));
    PxImage noMask(2, 2, 24, 0);
    HRGN r2 = CreateRectRgn(0, 0, 0, 0);
    EXPECT_FALSE(noMask.SelectionToHRGN(r2));
    DeleteObject(r2);
}

// A GDI screen grab carries 0 in every fourth byte: kept as alpha it would make an
// invisible PNG. Without the alpha plane the file is opaque RGB (colour type 2).
TEST(PxImageWin, ScreenGrabWithoutAlphaSavesOpaquePng) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    const int w = 64, h = 48;
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    GdiFlush();
    PxImage shot;
    ASSERT_TRUE(shot.CreateFromArray(static_cast<uint8_t*>(bits), w, h, 32, w * 4, false));
    EXPECT_TRUE(shot.AlphaIsValid());
    shot.AlphaDelete();
    std::wstring path = TempFolder() + L"grab.png";
    ASSERT_TRUE(shot.Save(path.c_str(), PxFormatPNG)) << shot.GetLastError();
    std::vector<uint8_t> png = ReadAll(path);
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(png[25], 2);  // colour type RGB
    DeleteFileW(path.c_str());
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}
