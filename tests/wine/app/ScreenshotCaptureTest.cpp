#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

#include "app/ScreenshotCapture.h"
#include "image/PxImageFormat.h"
#include "tests/wine/app/ProgramModule.h"

namespace {

const COLORREF kRed = RGB(220, 30, 30), kGreen = RGB(30, 200, 60), kBlue = RGB(40, 60, 230),
               kYellow = RGB(240, 220, 20);

LRESULT CALLBACK QuadrantProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_ERASEBKGND) {
        HDC dc = reinterpret_cast<HDC>(w);
        RECT r;
        GetClientRect(window, &r);
        const LONG mx = r.right / 2, my = r.bottom / 2;
        const struct {
            RECT rect;
            COLORREF colour;
        } parts[] = {{{0, 0, mx, my}, kRed}, {{mx, 0, r.right, my}, kGreen}, {{0, my, mx, r.bottom}, kBlue},
                     {{mx, my, r.right, r.bottom}, kYellow}};
        for (const auto& p : parts) {
            HBRUSH brush = CreateSolidBrush(p.colour);
            FillRect(dc, &p.rect, brush);
            DeleteObject(brush);
        }
        return 1;
    }
    return DefWindowProcW(window, message, w, l);
}

// A topmost borderless window painted in four quadrants, destroyed with the object.
class QuadrantWindow {
public:
    QuadrantWindow(int x, int y, int width, int height) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = QuadrantProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ScreenshotCaptureTestWindow";
        RegisterClassW(&wc);
        m_window = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"quadrants", WS_POPUP | WS_VISIBLE, x, y, width,
                                   height, nullptr, nullptr, wc.hInstance, nullptr);
        SetForegroundWindow(m_window);
        RedrawWindow(m_window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW);
        // Let the X server show it.
        for (DWORD end = GetTickCount() + 400; GetTickCount() < end;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            Sleep(10);
        }
    }
    ~QuadrantWindow() { DestroyWindow(m_window); }
    HWND Get() const { return m_window; }

private:
    HWND m_window = nullptr;
};

// The colour at (x, y) counted from the image's top row.
COLORREF TopDown(const PxImage& image, long x, long y) {
    return PxImage::RGBQUADtoRGB(image.GetPixelColor(x, static_cast<long>(image.GetHeight()) - 1 - y, false));
}

void ExpectQuadrants(const PxImage& image, long left, long top, long width, long height) {
    const struct {
        long x, y;
        COLORREF colour;
    } spots[] = {{2, 2, kRed},
                 {width - 3, 2, kGreen},
                 {2, height - 3, kBlue},
                 {width - 3, height - 3, kYellow},
                 {width / 2 - 1, height / 2 - 1, kRed},
                 {width / 2, height / 2, kYellow}};
    for (const auto& s : spots) {
        SCOPED_TRACE(::testing::Message() << "at " << s.x << "," << s.y);
        EXPECT_EQ(TopDown(image, left + s.x, top + s.y), s.colour);
    }
}

std::wstring TempPath(const wchar_t* name) {
    std::string narrow = ::testing::TempDir();
    std::wstring folder(narrow.begin(), narrow.end());
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    return folder + name;
}

PxImage MakePattern(uint32_t width, uint32_t height) {
    PxImage image(width, height, 24, PxFormatUnknown);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            image.SetPixelColor(x, y, RGB((x * 37) & 0xFF, (y * 53) & 0xFF, ((x + y) * 11) & 0xFF));
        }
    }
    return image;
}

TEST(ScreenshotCaptureTest, ScreenIsCapturedWholeOpaqueAndUpright) {
    QuadrantWindow window(50, 40, 200, 100);
    PxImage screen;
    RECT area = {};
    ASSERT_TRUE(CaptureScreen(screen, false, area));
    EXPECT_EQ(area.left, GetSystemMetrics(SM_XVIRTUALSCREEN));
    EXPECT_EQ(screen.GetWidth(), static_cast<uint32_t>(GetSystemMetrics(SM_CXVIRTUALSCREEN)));
    EXPECT_EQ(screen.GetHeight(), static_cast<uint32_t>(GetSystemMetrics(SM_CYVIRTUALSCREEN)));
    EXPECT_FALSE(screen.AlphaIsValid()) << "the capture's fourth byte must not become transparency";
    EXPECT_EQ(screen.GetBpp(), 24);
    ExpectQuadrants(screen, 50 - area.left, 40 - area.top, 200, 100);
}

TEST(ScreenshotCaptureTest, WindowCropIsClippedToTheScreen) {
    struct Case {
        const char* name;
        int x, y;
        uint32_t width, height;   // expected crop size
    };
    const Case cases[] = {{"inside", 120, 90, 200, 100}, {"off the top left", -30, -20, 170, 80}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QuadrantWindow window(c.x, c.y, 200, 100);
        PxImage screen, cropped;
        RECT area = {};
        ASSERT_TRUE(CaptureScreen(screen, false, area));
        ASSERT_TRUE(CropToWindow(screen, area, window.Get(), cropped));
        EXPECT_EQ(cropped.GetWidth(), c.width);
        EXPECT_EQ(cropped.GetHeight(), c.height);
        EXPECT_EQ(TopDown(cropped, 1, 1), kRed);
        EXPECT_EQ(TopDown(cropped, c.width - 2, c.height - 2), kYellow);
        if (c.x >= 0) ExpectQuadrants(cropped, 0, 0, 200, 100);
    }
    PxImage screen, cropped;
    RECT area = {};
    ASSERT_TRUE(CaptureScreen(screen, false, area));
    EXPECT_FALSE(CropToWindow(screen, area, nullptr, cropped)) << "no foreground window";
    QuadrantWindow away(area.right + 100, 10, 50, 50);
    EXPECT_FALSE(CropToWindow(screen, area, away.Get(), cropped)) << "nothing of it on the screen";
    EXPECT_FALSE(cropped.IsValid());
}

TEST(ScreenshotCaptureTest, PngIsOpaqueRgbAndReadsBackTheSamePixels) {
    PxImage image = MakePattern(41, 23);
    image.AlphaCreate();   // even with an alpha plane left over, the file must be opaque
    image.AlphaSet(0);
    image.AlphaDelete();
    const std::wstring path = TempPath(L"shot-test.png");
    DeleteFileW(path.c_str());
    ASSERT_TRUE(WriteScreenshotImage(image, path, PxFormatPNG, 90));
    FILE* f = _wfopen(path.c_str(), L"rb");
    ASSERT_NE(f, nullptr);
    unsigned char head[26] = {};
    ASSERT_EQ(fread(head, 1, sizeof(head), f), sizeof(head));
    fclose(f);
    EXPECT_EQ(head[25], 2) << "IHDR colour type 2: RGB without alpha";
    PxImage back;
    ASSERT_TRUE(back.Load(path.c_str(), PxFormatPNG));
    ASSERT_EQ(back.GetWidth(), 41u);
    ASSERT_EQ(back.GetHeight(), 23u);
    for (long y = 0; y < 23; ++y) {
        for (long x = 0; x < 41; ++x) {
            ASSERT_EQ(PxImage::RGBQUADtoRGB(back.GetPixelColor(x, y, false)),
                      PxImage::RGBQUADtoRGB(image.GetPixelColor(x, y, false)))
                << x << "," << y;
        }
    }
    DeleteFileW(path.c_str());
}

TEST(ScreenshotCaptureTest, JpegQualityIsUsedAndFailedWritesLeaveNothing) {
    PxImage image = MakePattern(160, 120);
    const std::wstring low = TempPath(L"shot-q20.jpg"), high = TempPath(L"shot-q95.jpg");
    ASSERT_TRUE(WriteScreenshotImage(image, low, PxFormatJPG, 20));
    ASSERT_TRUE(WriteScreenshotImage(image, high, PxFormatJPG, 95));
    WIN32_FILE_ATTRIBUTE_DATA a = {}, b = {};
    ASSERT_TRUE(GetFileAttributesExW(low.c_str(), GetFileExInfoStandard, &a));
    ASSERT_TRUE(GetFileAttributesExW(high.c_str(), GetFileExInfoStandard, &b));
    EXPECT_LT(a.nFileSizeLow * 2, b.nFileSizeLow) << "quality 20 is much smaller than 95";
    DeleteFileW(low.c_str());
    DeleteFileW(high.c_str());

    const std::wstring missing = TempPath(L"no-such-folder\\shot.png");
    EXPECT_FALSE(WriteScreenshotImage(image, missing, PxFormatPNG, 90));
    EXPECT_EQ(GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ScreenshotCaptureTest, ScreenshotsFolderIsCreatedWithItsParents) {
    const std::wstring root = TempPath(L"shots-root");
    const std::wstring nested = root + L"\\a\\b";
    RemoveDirectoryW(nested.c_str());
    RemoveDirectoryW((root + L"\\a").c_str());
    EXPECT_TRUE(EnsureSaveFolder(nested));
    EXPECT_NE(GetFileAttributesW(nested.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_TRUE(EnsureSaveFolder(nested)) << "an existing folder is fine";

    const std::wstring file = root + L"\\file";
    FILE* f = _wfopen(file.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    EXPECT_FALSE(EnsureSaveFolder(file + L"\\sub")) << "a file stands where a folder must be";
    EXPECT_FALSE(EnsureSaveFolder(L""));
    DeleteFileW(file.c_str());
}

TEST(ScreenshotCaptureTest, ClipboardGetsThePackedDibAndABusyClipboardStaysUnchanged) {
    PxImage image = MakePattern(33, 17);
    ASSERT_TRUE(PutImageOnClipboard(nullptr, image));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_DIB);
    ASSERT_NE(data, nullptr);
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(data));
    ASSERT_NE(bytes, nullptr);
    ASSERT_GE(GlobalSize(data), image.GetSize());
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
    EXPECT_EQ(header->biWidth, 33);
    EXPECT_EQ(header->biHeight, 17);
    EXPECT_EQ(header->biBitCount, 24);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + image.GetSize()),
              std::vector<uint8_t>(static_cast<const uint8_t*>(image.GetDIB()),
                                   static_cast<const uint8_t*>(image.GetDIB()) + image.GetSize()));
    GlobalUnlock(data);
    CloseClipboard();

    // Another thread holds the clipboard open: no picture, and the old one stays.
    std::atomic<int> state{0};
    std::thread holder([&state] {
        // A window of its own: Wine lets two openers without windows share the clipboard.
        HWND owner = CreateWindowExW(0, L"STATIC", L"holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        if (!owner || !OpenClipboard(owner)) {
            state = -1;
            return;
        }
        state = 1;
        while (state == 1) Sleep(5);
        CloseClipboard();
        DestroyWindow(owner);
    });
    while (state == 0) Sleep(5);
    ASSERT_EQ(state.load(), 1);
    EXPECT_FALSE(PutImageOnClipboard(nullptr, MakePattern(5, 5)));
    state = 2;
    holder.join();
    ASSERT_TRUE(OpenClipboard(nullptr));
    data = GetClipboardData(CF_DIB);
    ASSERT_NE(data, nullptr);
    header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(data));
    EXPECT_EQ(header->biWidth, 33);
    GlobalUnlock(data);
    CloseClipboard();

    EXPECT_FALSE(PutImageOnClipboard(nullptr, PxImage())) << "no picture, nothing to copy";
}

TEST(ScreenshotCaptureTest, TempFilePathsAreSixteenRandomLettersAndDigitsInTheTempFolder) {
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring a = MakeTempFilePath(), b = MakeTempFilePath();
    ASSERT_EQ(a.size(), wcslen(folder) + 16);
    EXPECT_EQ(a.compare(0, wcslen(folder), folder), 0);
    for (size_t i = wcslen(folder); i < a.size(); ++i) EXPECT_TRUE(iswalnum(a[i]) && a[i] < 128) << i;
    EXPECT_NE(a, b) << "two names in the same millisecond differ";
}

TEST(ScreenshotCaptureTest, TheProgramCarriesItsCaptureSound) {
    HMODULE module = LoadProgramResources();
    if (!module) GTEST_SKIP() << "brivane.exe is not built beside the tests";
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(146), L"WAVE");
    ASSERT_NE(resource, nullptr);
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, resource)));
    ASSERT_NE(bytes, nullptr);
    ASSERT_GT(SizeofResource(module, resource), 44u);
    EXPECT_EQ(std::string(bytes, 4), "RIFF");
    EXPECT_EQ(std::string(bytes + 8, 4), "WAVE");
    FreeLibrary(module);
}

}  // namespace
