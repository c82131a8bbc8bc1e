#include <gtest/gtest.h>

#include <map>

#include "core/CvxVideoMode.h"
#include "core/ModeChoice.h"
#include "LogCapture.h"

namespace {

TEST(ModeChoice, AvailabilityRules) {
    struct Case {
        const char* name;
        int mode;
        ModeAvailabilityFacts facts;
        bool available;
    };
    const Case kCases[] = {
        {"GDI always", CvxVideoModeGdi, {false, 0, 0, 5}, true},
        {"dx9 one monitor", CvxVideoModeDx9, {true, 6, 1, 1}, true},
        {"dx9 without Direct3D 9", CvxVideoModeDx9, {false, 10, 0, 1}, false},
        {"dx9 two monitors", CvxVideoModeDx9, {true, 10, 0, 2}, false},
        {"dx9 failed count", CvxVideoModeDx9, {true, 10, 0, -1}, true},
        {"dxgi on Windows 7", CvxVideoModeDxgi, {true, 6, 1, 1}, false},
        {"dxgi on Vista", CvxVideoModeDxgi, {true, 6, 0, 1}, false},
        {"dxgi on XP", CvxVideoModeDxgi, {true, 5, 2, 1}, false},
        {"dxgi on Windows 8", CvxVideoModeDxgi, {false, 6, 2, 1}, true},
        {"dxgi on Windows 10", CvxVideoModeDxgi, {false, 10, 0, 1}, true},
        {"dxgi unknown version", CvxVideoModeDxgi, {true, 0, 0, 1}, false},
        {"dxgi two monitors", CvxVideoModeDxgi, {true, 10, 0, 2}, false},
        {"dxgi failed count", CvxVideoModeDxgi, {true, 10, 0, -1}, true},
        {"unknown mode", 3, {true, 10, 0, 1}, false},
        {"negative mode", -1, {true, 10, 0, 1}, false},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsVideoModeAvailableFor(c.mode, c.facts), c.available);
    }
}

TEST(ModeChoice, ModeNames) {
    EXPECT_EQ(CvxVideoModeName(0), "{gdi}");
    EXPECT_EQ(CvxVideoModeName(1), "dx9");
    EXPECT_EQ(CvxVideoModeName(2), "{dxgi}");
    EXPECT_EQ(CvxVideoModeName(3), "{?}");
    EXPECT_EQ(CvxVideoModeName(-1), "{?}");
}

// A machine whose back ends give scripted test frames.
class FakeHost : public IModeChoiceHost {
public:
    enum class Frame { Picture, Black, Direct3DBlack, WrongSize, Nothing };
    std::map<int, bool> available;
    std::map<int, Frame> frames;
    std::vector<int> captured;
    CvxRect screen{0, 0, 8, 4};

    bool IsModeAvailable(int mode) override { return available[mode]; }
    CvxRect VirtualScreen() override { return screen; }
    void CaptureTestFrame(int mode, std::vector<uint8_t>& buffer, const CvxRect& area) override {
        captured.push_back(mode);
        EXPECT_EQ(area, screen);
        size_t bytes = size_t(area.Width()) * area.Height() * 4;
        switch (frames[mode]) {
        case Frame::Picture:
            buffer.assign(bytes, 0);
            buffer[bytes - 4] = 200;  // one blue pixel, the last
            break;
        case Frame::Black: buffer.assign(bytes, 0); break;
        case Frame::Direct3DBlack:
            buffer.assign(bytes, 0);
            for (size_t i = 3; i < bytes; i += 4) buffer[i] = 255;
            break;
        case Frame::WrongSize: buffer.assign(bytes - 4, 80); break;
        case Frame::Nothing: buffer.clear(); break;
        }
    }
};

TEST(ModeChoice, FallBackChain) {
    using F = FakeHost::Frame;
    struct Case {
        const char* name;
        bool dxgiAvailable, dx9Available;
        F dxgiFrame, dx9Frame;
        int chosen;
        std::vector<int> captured;
        std::vector<std::string> log;
    };
    const Case kCases[] = {
        {"DXGI works", true, true, F::Picture, F::Picture, CvxVideoModeDxgi, {2},
         {"CvxInit: current video mode to 2"}},
        {"DXGI unavailable, dx9 works", false, true, F::Picture, F::Picture, CvxVideoModeDx9, {1},
         {"CvxInit: DXGI screen capture mode failed", "CvxInit: current video mode to 1"}},
        {"Wine without Mesa: DXGI and dx9 give nothing", true, true, F::Nothing, F::Nothing,
         CvxVideoModeGdi, {2, 1},
         {"_TrySetScreenCaptureMode: VM 2 Failed", "CvxInit: DXGI screen capture mode failed",
          "_TrySetScreenCaptureMode: VM 1 Failed", "CvxInit: DX9 screen capture mode failed",
          "CvxInit: current video mode to 0"}},
        {"Wine with Mesa: dx9 front buffer black with fourth byte 255", true, true, F::Nothing,
         F::Direct3DBlack, CvxVideoModeGdi, {2, 1},
         {"_TrySetScreenCaptureMode: VM 2 Failed", "CvxInit: DXGI screen capture mode failed",
          "CvxInit: VM 1 doesnt work. Black screen detected. Switching to GDI.",
          "_TrySetScreenCaptureMode: VM 1 Failed", "CvxInit: DX9 screen capture mode failed",
          "CvxInit: current video mode to 0"}},
        {"DXGI wrong size, dx9 unavailable", true, false, F::WrongSize, F::Picture, CvxVideoModeGdi,
         {2},
         {"_TrySetScreenCaptureMode: VM 2 Failed", "CvxInit: DXGI screen capture mode failed",
          "CvxInit: DX9 screen capture mode failed", "CvxInit: current video mode to 0"}},
        {"DXGI black, dx9 works", true, true, F::Black, F::Picture, CvxVideoModeDx9, {2, 1},
         {"CvxInit: VM 2 doesnt work. Black screen detected. Switching to GDI.",
          "_TrySetScreenCaptureMode: VM 2 Failed", "CvxInit: DXGI screen capture mode failed",
          "CvxInit: current video mode to 1"}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        FakeHost host;
        host.available = {{0, true}, {1, c.dx9Available}, {2, c.dxgiAvailable}};
        host.frames = {{1, c.dx9Frame}, {2, c.dxgiFrame}};
        int current = 7;  // whatever was current before
        int chosen;
        std::vector<std::string> log;
        {
            LogCapture capture;
            chosen = ChooseScreenCaptureMode(host, current);
            log = capture.Lines();
        }
        EXPECT_EQ(chosen, c.chosen);
        EXPECT_EQ(current, c.chosen);
        EXPECT_EQ(host.captured, c.captured);
        EXPECT_EQ(log, c.log);
    }
}

TEST(ModeChoice, UnavailableModeLeavesCurrentModeAndLogsNothing) {
    FakeHost host;
    host.available = {{2, false}};
    int current = CvxVideoModeDx9;
    LogCapture capture;
    EXPECT_FALSE(TrySetScreenCaptureMode(host, CvxVideoModeDxgi, current));
    EXPECT_EQ(current, CvxVideoModeDx9);
    EXPECT_TRUE(host.captured.empty());
    EXPECT_TRUE(capture.Lines().empty()) << capture.All();
}

TEST(ModeChoice, OnePixelScreenWithContentIsUsable) {
    FakeHost host;
    host.available = {{1, true}};
    host.frames = {{1, FakeHost::Frame::Picture}};
    host.screen = CvxRect{0, 0, 1, 1};
    int current = 0;
    EXPECT_TRUE(TrySetScreenCaptureMode(host, CvxVideoModeDx9, current));
    EXPECT_EQ(current, CvxVideoModeDx9);
}

}  // namespace
