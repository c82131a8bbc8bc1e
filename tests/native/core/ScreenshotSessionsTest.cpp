#include <gtest/gtest.h>

#include "core/CvxVideoMode.h"
#include "core/ScreenshotSessions.h"
#include "LogCapture.h"
#include "SessionFakes.h"

namespace {

const MonitorSizeMap kOne = {{L"\\\\.\\DISPLAY1", {1920, 1080}}};
const MonitorSizeMap kTwo = {{L"\\\\.\\DISPLAY1", {1920, 1080}}, {L"\\\\.\\DISPLAY2", {1280, 1024}}};

struct SessionRig {
    FakeReaderWorld world;
    MonitorSizeMap monitors = kOne;
    int monitorReads = 0;
    ScreenshotSessions sessions{world.Factory(), [this] {
                                    ++monitorReads;
                                    return monitors;
                                }, CvxVideoModeGdi};
};

TEST(ScreenshotSessions, IdsStartAtOneAndFailedStartsConsumeThem) {
    SessionRig rig;
    rig.world.buildFails[CvxVideoModeDxgi] = true;
    LogCapture log;
    EXPECT_EQ(rig.sessions.StartInMode(CvxVideoModeGdi, CvxRect{}), 1);
    EXPECT_EQ(rig.sessions.StartInMode(CvxVideoModeDxgi, CvxRect{}), -1);
    EXPECT_EQ(rig.sessions.SessionMode(), CvxVideoModeGdi) << "a failed start keeps the mode";
    EXPECT_EQ(rig.sessions.StartInMode(CvxVideoModeDx9, CvxRect{}), 3);
    EXPECT_EQ(rig.sessions.SessionMode(), CvxVideoModeDx9);
    EXPECT_EQ(rig.sessions.StartInMode(7, CvxRect{}), -1);
    EXPECT_EQ(log.Count("CvxStartScreenshotSession: start"), 4u);
    EXPECT_TRUE(log.Has("CvxStartScreenshotSession: failed to start session for video mode 2: cannot build 2"))
        << log.All();
    EXPECT_TRUE(log.Has("CvxStartScreenshotSession: failed to start session for video mode 7"));
    // Sessions always draw the cursor.
    EXPECT_EQ(rig.world.built, (std::vector<std::string>{"0 cursor 0,0,0,0", "2 cursor 0,0,0,0",
                                                         "1 cursor 0,0,0,0"}));
}

TEST(ScreenshotSessions, StartFallsBackToGdi) {
    struct Case {
        const char* name;
        int current;
        bool currentFails, gdiFails;
        int id;
        int sessionMode;
        bool triesGdi;
    };
    const Case kCases[] = {
        {"DXGI works", CvxVideoModeDxgi, false, false, 1, CvxVideoModeDxgi, false},
        {"DXGI fails", CvxVideoModeDxgi, true, false, 2, CvxVideoModeGdi, true},
        {"dx9 fails", CvxVideoModeDx9, true, false, 2, CvxVideoModeGdi, true},
        {"GDI fails: no second try", CvxVideoModeGdi, true, true, -1, CvxVideoModeGdi, false},
        {"everything fails", CvxVideoModeDxgi, true, true, -1, CvxVideoModeGdi, true},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        SessionRig rig;
        rig.world.buildFails[c.current] = c.currentFails;
        rig.world.buildFails[CvxVideoModeGdi] = c.gdiFails;
        LogCapture log;
        EXPECT_EQ(rig.sessions.Start(c.current, CvxRect{1, 2, 3, 4}), c.id);
        EXPECT_EQ(rig.sessions.SessionMode(), c.sessionMode);
        EXPECT_EQ(log.Has("CvxStartScreenshotSession: try in GDI mode"), c.triesGdi);
    }
}

TEST(ScreenshotSessions, ReadStatusTellsReconfigurationFromFailure) {
    struct Case {
        const char* name;
        FakeRead read;
        bool monitorsChange;
        CvxGetScreenshotStatus status;
        std::string line;
    };
    const Case kCases[] = {
        {"image", FakeRead::Image, false, CvxGetScreenshot_Ok, ""},
        {"no new image is not a failure", FakeRead::NoImage, true, CvxGetScreenshot_Ok, ""},
        {"access lost, same monitors", FakeRead::ThrowAccessLost, false, CvxGetScreenshot_SessionFailed,
         "CvxGetScreenshot session failed as DXGIAccessLostException"},
        {"access lost, monitor unplugged", FakeRead::ThrowAccessLost, true,
         CvxGetScreenshot_VideoConfigurationChanged,
         "CvxGetScreenshot session failed as DXGIAccessLostException"},
        {"invalid call", FakeRead::ThrowInvalidCall, false, CvxGetScreenshot_SessionFailed,
         "CvxGetScreenshot session failed as DXGIInvalidCallException"},
        {"core exception", FakeRead::ThrowCvx, false, CvxGetScreenshot_SessionFailed,
         "CvxGetScreenshot session failed in mode 2"},
        {"other exception, monitors changed", FakeRead::ThrowOther, true,
         CvxGetScreenshot_VideoConfigurationChanged, "CvxGetScreenshot session failed in mode 2"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        SessionRig rig;
        rig.world.reads[CvxVideoModeDxgi] = c.read;
        rig.world.fill[CvxVideoModeDxgi] = 0x21;
        int id = rig.sessions.StartInMode(CvxVideoModeDxgi, CvxRect{0, 0, 3, 3});
        ASSERT_EQ(id, 1);
        if (c.monitorsChange) rig.monitors = kTwo;
        std::vector<uint8_t> buffer(12, 0x77);
        uint64_t time = 1;
        CvxGetScreenshotStatus status = CvxGetScreenshot_SessionFailed;
        LogCapture log;
        rig.sessions.Read(id, buffer, time, status);
        EXPECT_EQ(status, c.status);
        if (c.read == FakeRead::Image) {
            EXPECT_EQ(buffer.size(), 36u);
            EXPECT_EQ(buffer[0], 0x21);
            EXPECT_EQ(time, 4242u);
        } else {
            EXPECT_TRUE(buffer.empty());
            EXPECT_EQ(time, 1u);
        }
        if (!c.line.empty()) {
            EXPECT_TRUE(log.Has(c.line)) << log.All();
        }
    }
}

TEST(ScreenshotSessions, UnknownIdFailsAndRefreshRebuildsWithTheStoredAreaAndMode) {
    SessionRig rig;
    std::vector<uint8_t> buffer;
    uint64_t time = 0;
    CvxGetScreenshotStatus status = CvxGetScreenshot_Ok;
    {
        LogCapture log;
        rig.sessions.Read(99, buffer, time, status);
        EXPECT_EQ(status, CvxGetScreenshot_SessionFailed);
        EXPECT_TRUE(log.Has("CvxGetScreenshot:reader is NULL")) << log.All();
        EXPECT_EQ(log.Count(""), 0u) << "the exception's line has no doubled newline";
    }
    int id = rig.sessions.StartInMode(CvxVideoModeDx9, CvxRect{5, 6, 7, 8});
    ASSERT_EQ(id, 1);
    EXPECT_EQ(rig.world.alive, 1);

    rig.sessions.TryRefresh(id);
    EXPECT_EQ(rig.world.alive, 1) << "the old reader is destroyed";
    EXPECT_EQ(rig.world.built.back(), "1 cursor 5,6,7,8");

    // A refresh that cannot build leaves no reader: the next read fails.
    rig.world.buildFails[CvxVideoModeDx9] = true;
    {
        LogCapture log;
        rig.sessions.TryRefresh(id);
        EXPECT_TRUE(log.Has("CvxTryRefreshScreenshotSession failed"));
    }
    EXPECT_EQ(rig.world.alive, 0);
    rig.sessions.Read(id, buffer, time, status);
    EXPECT_EQ(status, CvxGetScreenshot_SessionFailed);
    EXPECT_TRUE(rig.sessions.Has(id));

    rig.sessions.Stop(id);
    EXPECT_FALSE(rig.sessions.Has(id));
    rig.sessions.Stop(12345);  // never started: nothing happens
    rig.sessions.TryRefresh(12345);
    EXPECT_FALSE(rig.sessions.Has(12345));
}

TEST(ScreenshotSessions, StopDestroysTheReaderAndStartTakesANewMonitorMap) {
    SessionRig rig;
    rig.world.reads[CvxVideoModeGdi] = FakeRead::ThrowCvx;
    rig.monitors = kTwo;  // changed since the process started...
    int id = rig.sessions.StartInMode(CvxVideoModeGdi, CvxRect{});
    std::vector<uint8_t> buffer;
    uint64_t time = 0;
    CvxGetScreenshotStatus status = CvxGetScreenshot_Ok;
    rig.sessions.Read(id, buffer, time, status);
    // ...but the start took the map again, so the failure is the reader's.
    EXPECT_EQ(status, CvxGetScreenshot_SessionFailed);
    EXPECT_EQ(rig.world.alive, 1);
    rig.sessions.Stop(id);
    EXPECT_EQ(rig.world.alive, 0);
}

}  // namespace
