#include <gtest/gtest.h>

#include <cstring>

#include "core/DXGIErrorName.h"
#include "core/video/DXGIException.h"
#include "LogCapture.h"
#include "ReaderFakes.h"

namespace {

constexpr int32_t kFail = int32_t(0x80004005u);  // E_FAIL

struct DxgiRig {
    FakeDuplication duplication{40, 30};
    FakeCursor cursor;
    uint64_t now = 777;
    DxgiFrameReader Reader(const CvxRect& area, bool captureCursor) {
        return DxgiFrameReader(duplication, cursor, [this] { return now; }, 40, 30, area,
                               captureCursor);
    }
};

TEST(DxgiFrameReader, WaitsOnlyOnTheFirstRead) {
    DxgiRig rig;
    DxgiFrameReader reader = rig.Reader(CvxRect{}, false);
    std::vector<uint8_t> buffer;
    uint64_t time = 0;
    reader.Read(buffer, time);
    reader.Read(buffer, time);
    EXPECT_EQ(rig.duplication.log.calls,
              (std::vector<std::string>{"sleep 500", "acquire 500", "take", "map", "unmap", "release",
                                        "acquire 0", "take", "map", "unmap", "release"}));
    EXPECT_EQ(buffer.size(), 40u * 30 * 4);
    EXPECT_EQ(time, 777u);
}

TEST(DxgiFrameReader, TimeOutKeepsThePreviousImageOrGivesNone) {
    DxgiRig rig;
    rig.duplication.acquireResults = {kDxgiErrorWaitTimeout, 0, kDxgiErrorWaitTimeout};
    DxgiFrameReader reader = rig.Reader(CvxRect{5, 5, 15, 10}, false);
    std::vector<uint8_t> buffer;
    uint64_t time = 0;

    // No desktop image yet: nothing, not a black frame.
    reader.Read(buffer, time);
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(time, 0u);

    rig.now = 1234;
    reader.Read(buffer, time);
    ASSERT_EQ(buffer.size(), 10u * 5 * 4);
    EXPECT_EQ(time, 1234u);
    const std::vector<uint8_t> image = buffer;

    // No new image: the old pixels and no new time.
    rig.now = 9999;
    rig.duplication.surface.bytes.assign(rig.duplication.surface.bytes.size(), 0x99);
    reader.Read(buffer, time);
    EXPECT_EQ(buffer, image);
    EXPECT_EQ(time, 1234u);
    EXPECT_EQ(rig.duplication.acquired, 0);
}

TEST(DxgiFrameReader, TimeOutWithABufferOfAnotherSizeGivesNoImage) {
    DxgiRig rig;
    rig.duplication.acquireResults = {0, kDxgiErrorWaitTimeout};
    DxgiFrameReader reader = rig.Reader(CvxRect{}, false);
    std::vector<uint8_t> buffer;
    uint64_t time = 0;
    reader.Read(buffer, time);
    std::vector<uint8_t> other(16, 0x55);
    reader.Read(other, time);
    EXPECT_TRUE(other.empty());
}

TEST(DxgiFrameReader, AcquireFailuresThrowTheirExceptions) {
    struct Case {
        const char* name;
        int32_t hr;
        std::string message;
        bool accessLost, invalidCall;
    };
    const Case kCases[] = {
        {"access lost", kDxgiErrorAccessLost,
         "DXGIException: Failed AcquireNextFrame: DXGI_ERROR_ACCESS_LOST", true, false},
        {"invalid call", kDxgiErrorInvalidCall,
         "DXGIException: Failed AcquireNextFrame: DXGI_ERROR_INVALID_CALL", false, true},
        {"other", kFail, "DXGIException: Failed AcquireNextFrame: DXGI Unknown error hr=-2147467259",
         false, false},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        DxgiRig rig;
        rig.duplication.acquireResults = {c.hr};
        DxgiFrameReader reader = rig.Reader(CvxRect{}, false);
        std::vector<uint8_t> buffer;
        uint64_t time = 0;
        LogCapture log;
        bool accessLost = false, invalidCall = false;
        std::string message;
        try {
            reader.Read(buffer, time);
            ADD_FAILURE() << "no exception";
        } catch (const core::video::DXGIAccessLostException& e) {
            accessLost = true;
            message = e.what();
        } catch (const core::video::DXGIInvalidCallException& e) {
            invalidCall = true;
            message = e.what();
        } catch (const core::video::DXGIException& e) {
            message = e.what();
        }
        EXPECT_EQ(accessLost, c.accessLost);
        EXPECT_EQ(invalidCall, c.invalidCall);
        EXPECT_EQ(message, c.message);
        EXPECT_TRUE(log.Has(c.message)) << log.All();
        // Nothing was acquired, so nothing is released.
        EXPECT_EQ(rig.duplication.log.Count("release"), 0u);
        EXPECT_EQ(time, 0u);
    }
}

TEST(DxgiFrameReader, ReleasesTheFrameOnEveryWayOut) {
    struct Case {
        const char* name;
        bool takeThrows, monochromeThrows;
        int32_t mapResult;
        bool throws;
        std::string message;
    };
    const Case kCases[] = {
        {"success", false, false, 0, false, ""},
        {"texture query fails", true, false, 0, true,
         "DXGIException: Failed lDesktopResource->QueryInterface: DXGI Unknown error hr=-2147467262"},
        {"cursor surface fails", false, true, 0, true,
         "DXGIException: Failed lGDIImage->QueryInterface: DXGI Unknown error hr=-2147467262"},
        {"map fails", false, false, kFail, true,
         "DXGIException: Failed lImmediateContext->Map: DXGI Unknown error hr=-2147467259"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        DxgiRig rig;
        rig.duplication.takeThrows = c.takeThrows;
        rig.duplication.monochromeThrows = c.monochromeThrows;
        rig.duplication.mapResult = c.mapResult;
        rig.cursor.Show(10, 10, 0, 0, /*monochrome=*/true);
        DxgiFrameReader reader = rig.Reader(CvxRect{}, true);
        std::vector<uint8_t> buffer;
        uint64_t time = 0;
        LogCapture log;
        std::string message;
        try {
            reader.Read(buffer, time);
        } catch (const core::video::DXGIException& e) {
            message = e.what();
        }
        EXPECT_EQ(!message.empty(), c.throws);
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(rig.duplication.acquired, 0) << "every acquired frame is released";
        EXPECT_EQ(rig.duplication.mapped, 0) << "every mapped texture is unmapped";
        if (c.mapResult < 0) {
            EXPECT_TRUE(log.Has("DXGIScreenCapture: Copy from CPU access texture to bitmap buffer"));
        }
    }
}

TEST(DxgiFrameReader, CursorAndClippedArea) {
    struct Case {
        const char* name;
        bool captureCursor, monochrome;
    };
    const Case kCases[] = {{"colour", true, false}, {"monochrome", true, true}, {"off", false, false}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        DxgiRig rig;
        rig.cursor.Show(12, 9, 2, 1, c.monochrome);
        const TestSurface original = rig.duplication.surface;
        // Partly outside the 40 x 30 output: columns -5..-1 and rows 30..34 are zero.
        DxgiFrameReader reader = rig.Reader(CvxRect{-5, 0, 35, 35}, c.captureCursor);
        std::vector<uint8_t> buffer;
        uint64_t time = 0;
        reader.Read(buffer, time);
        ASSERT_EQ(buffer.size(), 40u * 35 * 4);
        const uint8_t* at = BottomUpPixel(buffer, 40, 35, 10 + 5, 8);  // output (10, 8)
        const uint8_t* expected = !c.captureCursor ? original.Pixel(10, 8)
                                  : c.monochrome  ? kMonochromePixel
                                                  : kCursorPixel;
        EXPECT_EQ(0, memcmp(at, expected, 4));
        EXPECT_EQ(BottomUpPixel(buffer, 40, 35, 0, 0)[3], 0);
        EXPECT_EQ(BottomUpPixel(buffer, 40, 35, 20, 34)[3], 0);
        EXPECT_EQ(0, memcmp(BottomUpPixel(buffer, 40, 35, 39, 29), original.Pixel(34, 29), 4));
    }
}

}  // namespace
