#include <gtest/gtest.h>

#include "core/CvxVideoMode.h"
#include "core/StillCapture.h"
#include "LogCapture.h"
#include "SessionFakes.h"

namespace {

TEST(StillCapture, ChoosesTheReaderAndFallsBackToGdi) {
    struct Case {
        const char* name;
        int current;
        bool fullScreen;
        FakeRead currentRead, gdiRead;
        bool currentBuildFails;
        uint8_t blue;  // 0: no image expected
        std::vector<std::string> built;
        bool gdiLine;
    };
    const Case kCases[] = {
        {"ordinary desktop: always GDI", CvxVideoModeDxgi, false, FakeRead::Image, FakeRead::Image,
         false, 0x10, {"0 plain 0,0,0,0"}, false},
        {"full-screen game through DXGI", CvxVideoModeDxgi, true, FakeRead::Image, FakeRead::Image,
         false, 0x12, {"2 plain 0,0,0,0"}, false},
        {"DXGI gives nothing: GDI", CvxVideoModeDxgi, true, FakeRead::NoImage, FakeRead::Image, false,
         0x10, {"2 plain 0,0,0,0", "0 plain 0,0,0,0"}, true},
        {"dx9 cannot be built: GDI", CvxVideoModeDx9, true, FakeRead::Image, FakeRead::Image, true, 0x10,
         {"1 plain 0,0,0,0", "0 plain 0,0,0,0"}, true},
        {"dx9 read throws: GDI", CvxVideoModeDx9, true, FakeRead::ThrowOther, FakeRead::Image, false,
         0x10, {"1 plain 0,0,0,0", "0 plain 0,0,0,0"}, true},
        {"full screen in GDI mode: one GDI try", CvxVideoModeGdi, true, FakeRead::NoImage,
         FakeRead::NoImage, false, 0, {"0 plain 0,0,0,0"}, false},
        {"GDI fails: no image", CvxVideoModeDxgi, false, FakeRead::Image, FakeRead::ThrowCvx, false, 0,
         {"0 plain 0,0,0,0"}, false},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        FakeReaderWorld world;
        world.reads[c.current] = c.currentRead;
        world.fill[c.current] = 0x12;
        if (c.current != CvxVideoModeGdi) {
            world.reads[CvxVideoModeGdi] = c.gdiRead;
            world.fill[CvxVideoModeGdi] = 0x10;
        }
        world.buildFails[c.current] = c.currentBuildFails;
        std::vector<uint8_t> buffer(8, 0x66);  // the previous still
        uint64_t time = 0;
        LogCapture log;
        CaptureStill(world.Factory(), c.current, c.fullScreen, false, buffer, time, CvxRect{});
        EXPECT_EQ(world.built, c.built);
        if (c.blue) {
            ASSERT_EQ(buffer.size(), 4u * 2 * 4);
            for (size_t i = 0; i < buffer.size(); i += 4) {
                EXPECT_EQ(buffer[i], c.blue);
                EXPECT_EQ(buffer[i + 3], 255) << "the fourth byte becomes the alpha channel";
            }
        } else {
            EXPECT_TRUE(buffer.empty()) << "a failed screenshot is empty, never a black image";
        }
        EXPECT_EQ(log.Count("CvxGetScreenshot: capture in GDI mode"), c.gdiLine ? 1u : 0u);
        EXPECT_EQ(world.alive, 0);
    }
}

TEST(StillCapture, OnceInModeLogsAndEmptiesOnFailure) {
    FakeReaderWorld world;
    world.reads[CvxVideoModeDx9] = FakeRead::ThrowCvx;
    std::vector<uint8_t> buffer(16, 1);
    uint64_t time = 0;
    {
        LogCapture log;
        CaptureOnceInMode(world.Factory(), CvxVideoModeDx9, true, buffer, time, CvxRect{0, 0, 2, 2});
        EXPECT_TRUE(buffer.empty());
        EXPECT_EQ(log.Lines(), (std::vector<std::string>{"CvxGetScreenshot: capture with video mode 1",
                                                         "read failed", "CvxGetScreenshot: failed"}));
    }
    buffer.assign(16, 1);
    CaptureOnceInMode(world.Factory(), 3, true, buffer, time, CvxRect{0, 0, 2, 2});
    EXPECT_TRUE(buffer.empty());
    // A sound read keeps its fourth byte: only stills are made opaque.
    world.reads[CvxVideoModeGdi] = FakeRead::Image;
    CaptureOnceInMode(world.Factory(), CvxVideoModeGdi, true, buffer, time, CvxRect{0, 0, 2, 2});
    ASSERT_EQ(buffer.size(), 16u);
    EXPECT_EQ(buffer[3], 0);
    EXPECT_EQ(world.built.back(), "0 cursor 0,0,2,2");
}

}  // namespace
