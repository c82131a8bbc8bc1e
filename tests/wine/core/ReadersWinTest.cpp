#include <gtest/gtest.h>

#include <windows.h>
#include <dxgi.h>

#include "core/Cvx.h"
#include "core/CvxException.h"
#include "core/DXGIErrorName.h"
#include "core/video/DX9ScreenCapture.h"
#include "core/video/DXGIScreenCapture.h"
#include "core/video/GDIScreenCapture.h"
#include "../../native/core/LogCapture.h"
#include "TestWindow.h"

namespace {

bool HaveMesa() {
    return GetFileAttributesW(L"Z:\\usr\\lib\\i386-linux-gnu\\dri\\swrast_dri.so") != INVALID_FILE_ATTRIBUTES;
}

static_assert(kDxgiErrorInvalidCall == DXGI_ERROR_INVALID_CALL, "DXGI code");
static_assert(kDxgiErrorAccessLost == DXGI_ERROR_ACCESS_LOST, "DXGI code");
static_assert(kDxgiErrorWaitTimeout == DXGI_ERROR_WAIT_TIMEOUT, "DXGI code");
// RtlGetVersion fills as much as the size field says: the extended structure is 284
// bytes, the plain one 276.
static_assert(sizeof(RTL_OSVERSIONINFOEXW) == 284, "extended version structure");
static_assert(sizeof(RTL_OSVERSIONINFOW) == 276, "plain version structure");

TEST(DXGIErrorName, MatchesThePlatformsCodes) {
    EXPECT_EQ(GetDXGIErrorName(DXGI_ERROR_WAIT_TIMEOUT), L"DXGI_ERROR_WAIT_TIMEOUT");
    EXPECT_EQ(GetDXGIErrorName(DXGI_ERROR_NOT_CURRENTLY_AVAILABLE), L"DXGI_ERROR_NOT_CURRENTLY_AVAILABLE");
    EXPECT_EQ(GetDXGIErrorName(DXGI_ERROR_SESSION_DISCONNECTED), L"DXGI_ERROR_SESSION_DISCONNECTED");
    EXPECT_EQ(GetDXGIErrorName(E_FAIL), L"DXGI Unknown error hr=-2147467259");
}

TEST(CvxException, FromHresultCarriesTheSystemText) {
    CvxException e(static_cast<long>(E_OUTOFMEMORY));
    EXPECT_FALSE(std::string(e.what()).empty());
    CvxException unknown(static_cast<long>(0xA0001234));
    EXPECT_STRNE(unknown.what(), "");
}

TEST(CoreSystem, MachineQueriesUnderXvfb) {
    EXPECT_EQ(CvxGetMonitorCount(), 1);
    RECT screen = CvxGetVirtualScreenRect();
    EXPECT_EQ(screen.left, 0);
    EXPECT_EQ(screen.top, 0);
    EXPECT_EQ(screen.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(screen.bottom, GetSystemMetrics(SM_CYSCREEN));
    MonitorSizeMap map;
    CvxGetMonitorMap(map);
    ASSERT_EQ(map.size(), 1u);
    EXPECT_EQ(map.begin()->second, std::make_pair(int(screen.right), int(screen.bottom)));
    EXPECT_FALSE(map.begin()->first.empty());
    EXPECT_GE(CvxGetProcessorCount(), 1);

    CvxOsVersion version = CvxGetOsVersionNumbers();
    EXPECT_GE(version.major, 5u);
    EXPECT_EQ(CvxGetOsVersionString(), std::to_string(version.major) + "." + std::to_string(version.minor) +
                                           "." + std::to_string(version.build));
    OSVERSIONINFOW plain{};
    plain.dwOSVersionInfoSize = sizeof plain;
    ASSERT_TRUE(GetVersionExW(&plain));
    EXPECT_EQ(version.major, plain.dwMajorVersion);
    EXPECT_EQ(version.minor, plain.dwMinorVersion);
}

TEST(CoreSystem, QpcTimeAdvancesTenMillionPerSecond) {
    uint64_t a = CvxGetQpcTime();
    Sleep(200);
    uint64_t b = CvxGetQpcTime();
    ASSERT_GT(b, a);
    EXPECT_NEAR(double(b - a), 2000000.0, 600000.0);
}

TEST(CoreSystem, WindowFullScreenComparesSizesOnly) {
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    TestWindow small(10, 10, 100, 100);
    EXPECT_FALSE(CvxIsWindowFullScreen(small.Handle()));
    TestWindow full(0, 0, w, h);
    EXPECT_TRUE(CvxIsWindowFullScreen(full.Handle()));
    TestWindow moved(30, 20, w, h);
    EXPECT_TRUE(CvxIsWindowFullScreen(moved.Handle()));
}

TEST(GDIScreenCapture, AreaPartlyOutsideTheScreenKeepsItsSize) {
    int w = GetSystemMetrics(SM_CXSCREEN);
    TestWindow window(w - 40, 100, 40, 40);
    GDIScreenCapture reader(false, CvxRect{w - 20, 100, w + 30, 130});
    std::vector<uint8_t> buffer;
    uint64_t time = 0;
    reader.Read(buffer, time);
    ASSERT_EQ(buffer.size(), 50u * 30 * 4);
    EXPECT_NE(time, 0u);
    // Right of the screen: black.
    EXPECT_EQ(FramePixel(buffer, 50, 30, 20, 0), RGB(0, 0, 0));
    EXPECT_EQ(FramePixel(buffer, 50, 30, 49, 29), RGB(0, 0, 0));
    // The left 20 columns are the window's right half (green above, yellow below y 120).
    EXPECT_EQ(FramePixel(buffer, 50, 30, 0, 0), TestWindow::kTopRight);
    EXPECT_EQ(FramePixel(buffer, 50, 30, 19, 29), TestWindow::kBottomRight);
}

TEST(GDIScreenCapture, EmptyAreaCannotBeBuilt) {
    EXPECT_THROW(GDIScreenCapture(false, CvxRect{10, 10, 10, 50}), CvxException);
}

TEST(DXGIScreenCapture, WineHasNoDesktopDuplication) {
    // DuplicateOutput is E_NOTIMPL under Wine 8: the reader cannot be built, and a read
    // in DXGI mode is a failed read, never a black frame.
    LogCapture log;
    EXPECT_THROW(DXGIScreenCapture(false, CvxRect{}), CvxException);
    std::vector<uint8_t> buffer(16, 1);
    uint64_t time = 0;
    CvxGetScreenshotInMode(CvxVideoModeDxgi, false, buffer, time, RECT{0, 0, 0, 0});
    EXPECT_TRUE(buffer.empty());
    EXPECT_TRUE(log.Has("CvxGetScreenshot: failed")) << log.All();
}

TEST(DX9ScreenCapture, FrontBufferUnderWineIsJudgedBlack) {
    if (!HaveMesa()) GTEST_SKIP() << "i386 Mesa is not installed: no Direct3D 9 device under Wine";
    ASSERT_TRUE(CvxInit());
    ASSERT_NE(CvxGetDirect3D9(), nullptr);
    // No window of this process is shown: Wine's front buffer then holds nothing.
    DX9ScreenCapture reader(true, CvxRect{});
    std::vector<uint8_t> buffer;
    uint64_t time = 0;
    reader.Read(buffer, time);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_EQ(buffer.size(), size_t(w) * h * 4);
    EXPECT_NE(time, 0u);
    // What Wine gives: B = G = R = 0 with the fourth byte 255 outside any device window.
    EXPECT_FALSE(_is_black_frame(buffer, CvxRect{0, 0, w, h}));
    EXPECT_EQ(FrameFourthByte(buffer, w, h, w / 2, h / 2), 255);
    // An area beyond the display is clipped, not read past the surface.
    DX9ScreenCapture wide(false, CvxRect{-10, -10, w + 10, h + 10});
    wide.Read(buffer, time);
    ASSERT_EQ(buffer.size(), size_t(w + 20) * (h + 20) * 4);
    EXPECT_EQ(FrameFourthByte(buffer, w + 20, h + 20, 0, 0), 0);
    EXPECT_EQ(FrameFourthByte(buffer, w + 20, h + 20, 10, 10), 255);
}

TEST(ScreenshotSession, GdiSessionReadsAndStops) {
    ASSERT_TRUE(CvxInit());
    TestWindow window(200, 150, 40, 40);
    LogCapture log;
    int id = CvxStartScreenshotSessionInMode(CvxVideoModeGdi, RECT{200, 150, 240, 190});
    ASSERT_GT(id, 0);
    EXPECT_EQ(CvxGetScreenshotSessionMode(), CvxVideoModeGdi);
    std::vector<uint8_t> buffer;
    uint64_t time = 0;
    CvxGetScreenshotStatus status = CvxGetScreenshot_SessionFailed;
    CvxGetScreenshot(id, buffer, time, status);
    EXPECT_EQ(status, CvxGetScreenshot_Ok);
    ASSERT_EQ(buffer.size(), 40u * 40 * 4);
    EXPECT_EQ(FramePixel(buffer, 40, 40, 5, 5), TestWindow::kTopLeft);
    CvxStopScreenshotSession(id);
    CvxGetScreenshot(id, buffer, time, status);
    EXPECT_EQ(status, CvxGetScreenshot_SessionFailed);
    EXPECT_TRUE(buffer.empty());
    // In the current mode (GDI under Wine) a session starts at once.
    int next = CvxStartScreenshotSession(RECT{0, 0, 0, 0});
    EXPECT_EQ(next, id + 1);
    CvxStopScreenshotSession(next);
    EXPECT_TRUE(log.Has("CvxStartScreenshotSession: start"));
}

TEST(ScreenshotSession, DxgiSessionFallsBackToGdiWhenStartedThatWay) {
    LogCapture log;
    int id = CvxStartScreenshotSessionInMode(CvxVideoModeDxgi, RECT{0, 0, 100, 100});
    EXPECT_EQ(id, -1);
    EXPECT_TRUE(log.Has("CvxStartScreenshotSession: failed to start session for video mode 2: "
                        "DXGIScreenCapture constr: Failed to Create desktop duplication"))
        << log.All();
}

}  // namespace
