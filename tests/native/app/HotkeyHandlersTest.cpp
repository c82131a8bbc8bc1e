#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/HotkeyHandlers.h"
#include "foundation/QuietPeriod.h"

namespace {

struct Event {
    std::wstring category, action, label;
    bool operator==(const Event& o) const { return category == o.category && action == o.action && label == o.label; }
};

// The handlers' world: a settable clock and flags; records events and requests in order.
struct Fake {
    bool busy = false, fullScreenApp = false, displayChangeRecent = false, silent = false;
    bool foregroundOtherFullScreen = false;
    int storage = 5, videoSaveType = 1;
    uint32_t tick = 100000;
    HotkeyCombination activeWindowHotkey = {18, 44};
    int printScreenHeldPolls = 0;   // isKeyDown(44) answers true this many more times
    std::vector<Event> events;
    std::vector<std::string> requests;   // "send:..." / "post:..."
    std::vector<int> sleeps;
    std::vector<std::string> logs;
    std::vector<bool> quietAtEvent, quietAtSend;   // a quiet period held at that moment

    static std::string Name(HotkeyRequest r) {
        switch (r) {
        case HotkeyRequest::FullScreenshot: return "full";
        case HotkeyRequest::RegionScreenshot: return "region";
        case HotkeyRequest::WindowScreenshot: return "window";
        case HotkeyRequest::MakeVideo: return "video";
        case HotkeyRequest::MakeGameVideo: return "game-video";
        case HotkeyRequest::VideoStop: return "stop";
        }
        return "?";
    }

    HotkeyHandlers::Environment Env() {
        HotkeyHandlers::Environment env;
        env.isBusy = [this] { return busy; };
        env.isFullScreenAppActive = [this] { return fullScreenApp; };
        env.isDisplayChangeRecent = [this] { return displayChangeRecent; };
        env.silentMode = [this] { return silent; };
        env.storageType = [this] { return storage; };
        env.videoSaveType = [this] { return videoSaveType; };
        env.tickCount = [this] { return tick; };
        env.postEvent = [this](const std::wstring& c, const std::wstring& a, const std::wstring& l) {
            events.push_back({c, a, l});
            quietAtEvent.push_back(QuietPeriod::IsActive());
        };
        env.send = [this](HotkeyRequest r) {
            requests.push_back("send:" + Name(r));
            quietAtSend.push_back(QuietPeriod::IsActive());
        };
        env.post = [this](HotkeyRequest r) { requests.push_back("post:" + Name(r)); };
        env.activeWindowHotkey = [this] { return activeWindowHotkey; };
        env.isKeyDown = [this](int key) {
            if (key != 44 || printScreenHeldPolls == 0) return false;
            --printScreenHeldPolls;
            return true;
        };
        env.sleep = [this](int ms) {
            sleeps.push_back(ms);
            tick += static_cast<uint32_t>(ms);
        };
        env.isForegroundOtherFullScreen = [this] { return foregroundOtherFullScreen; };
        env.log = [this](const char* line) { logs.push_back(line); };
        return env;
    }
};

TEST(HotkeyHandlersTest, FullScreenshotIsSentWithItsEventAndDebouncedFor200Ms) {
    Fake fake;
    HotkeyHandlers handlers(fake.Env());
    handlers.OnFullScreenshot();
    EXPECT_EQ(fake.requests, (std::vector<std::string>{"send:full"}));
    EXPECT_EQ(fake.events, (std::vector<Event>{{L"Screenshot.Fullscreen", L"Launch on Hotkey", L"Clipboard + Local"}}));
    // A second press 200 ms later (released in between) is the same shot; 201 ms is not.
    fake.tick += 200;
    handlers.OnFullScreenshot();
    EXPECT_EQ(fake.requests.size(), 1u);
    EXPECT_EQ(fake.events.size(), 1u) << "a debounced press sends no event";
    fake.tick += 1;
    handlers.OnFullScreenshot();
    EXPECT_EQ(fake.requests.size(), 2u);
    // While a region selection or a recording runs the key does nothing.
    fake.busy = true;
    fake.tick += 1000;
    handlers.OnFullScreenshot();
    EXPECT_EQ(fake.requests.size(), 2u);
}

TEST(HotkeyHandlersTest, DebounceSurvivesTheTickCountWrap) {
    Fake fake;
    fake.tick = 0xFFFFFF00u;
    HotkeyHandlers handlers(fake.Env());
    handlers.OnFullScreenshot();
    fake.tick += 0x100 + 100;   // wrapped: 356 ms later
    handlers.OnFullScreenshot();
    EXPECT_EQ(fake.requests.size(), 2u);
}

TEST(HotkeyHandlersTest, RegionHotkeyTakesTheWholeScreenQuietlyInAGame) {
    struct Case {
        const char* name;
        bool fullScreenApp, recent;
        Event event;
        std::string request;
    };
    const Case cases[] = {
        {"no game", false, false, {L"Screenshot.Region", L"Launch on Hotkey", L"Server"}, "post:region"},
        {"full-screen app but no display change", true, false,
         {L"Screenshot.Region", L"Launch on Hotkey", L"Server"}, "post:region"},
        {"game", true, true, {L"Screenshot.Region.Silent", L"Launch on Hotkey", L"Server"}, "post:full"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fake fake;
        fake.storage = 2;
        fake.fullScreenApp = c.fullScreenApp;
        fake.displayChangeRecent = c.recent;
        HotkeyHandlers handlers(fake.Env());
        handlers.OnRegionScreenshot();
        EXPECT_EQ(fake.events, (std::vector<Event>{c.event}));
        EXPECT_EQ(fake.requests, (std::vector<std::string>{c.request}));
    }
}

TEST(HotkeyHandlersTest, MouseGesturesAreOffInSilentModeInAGameAndWhileBusy) {
    struct Case {
        const char* name;
        bool busy, silent, game;
        bool fires;
    };
    const Case cases[] = {{"plain", false, false, false, true},
                          {"silent mode", false, true, false, false},
                          {"game", false, false, true, false},
                          {"busy", true, false, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fake fake;
        fake.storage = 1;
        fake.videoSaveType = 0;
        fake.busy = c.busy;
        fake.silent = c.silent;
        fake.fullScreenApp = fake.displayChangeRecent = c.game;
        HotkeyHandlers handlers(fake.Env());
        handlers.OnRegionScreenshotByMouse();
        handlers.OnVideoRecordingByMouse();
        if (c.fires) {
            EXPECT_EQ(fake.events, (std::vector<Event>{{L"Screenshot.Region", L"Launch on Mouse", L"Clipboard"},
                                                       {L"Video", L"Launch on Mouse", L"Server"}}));
            EXPECT_EQ(fake.requests, (std::vector<std::string>{"post:region", "post:video"}));
        } else {
            EXPECT_TRUE(fake.events.empty());
            EXPECT_TRUE(fake.requests.empty());
        }
    }
    // Silent mode leaves the keyboard shortcuts working.
    Fake fake;
    fake.silent = true;
    HotkeyHandlers handlers(fake.Env());
    handlers.OnRegionScreenshot();
    handlers.OnFullScreenshot();
    EXPECT_EQ(fake.requests, (std::vector<std::string>{"post:region", "send:full"}));
}

TEST(HotkeyHandlersTest, ActiveWindowWaitsForPrintScreenReleaseAndDebouncesAfterItsEvent) {
    Fake fake;
    fake.printScreenHeldPolls = 3;
    HotkeyHandlers handlers(fake.Env());
    handlers.OnActiveWindowScreenshot();
    EXPECT_EQ(fake.sleeps, (std::vector<int>{10, 10, 10})) << "tested every 10 ms";
    EXPECT_EQ(fake.requests, (std::vector<std::string>{"send:window"}));
    EXPECT_EQ(fake.events, (std::vector<Event>{{L"Screenshot.Window", L"Launch on Hotkey", L"Clipboard + Local"}}));
    // The timestamp is the tick before the wait: 30 ms of waiting do not count.
    handlers.OnActiveWindowScreenshot();
    EXPECT_EQ(fake.requests.size(), 1u);
    fake.tick += 171;   // 201 ms after the tick read before the wait
    handlers.OnActiveWindowScreenshot();
    EXPECT_EQ(fake.requests.size(), 2u);
    // Within 200 ms of that: the event still goes out, the shot does not.
    fake.tick += 150;
    handlers.OnActiveWindowScreenshot();
    EXPECT_EQ(fake.requests.size(), 2u);
    EXPECT_EQ(fake.events.size(), 4u);

    // Without PrintScreen in the combination nothing waits.
    Fake other;
    other.activeWindowHotkey = {17, 65};
    other.printScreenHeldPolls = 5;
    HotkeyHandlers otherHandlers(other.Env());
    otherHandlers.OnActiveWindowScreenshot();
    EXPECT_TRUE(other.sleeps.empty());
    EXPECT_EQ(other.requests, (std::vector<std::string>{"send:window"}));
}

TEST(HotkeyHandlersTest, VideoHotkeyStartsOrStopsInBothBranches) {
    struct Case {
        const char* name;
        bool otherFullScreen, recent, busy;
        std::string request;
        bool event;
    };
    const Case cases[] = {
        {"normal start", false, false, false, "post:video", true},
        {"normal stop", false, false, true, "post:stop", false},
        {"full-screen app without display change is normal", true, false, false, "post:video", true},
        {"game start", true, true, false, "post:game-video", false},
        {"game stop", true, true, true, "post:stop", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fake fake;
        fake.foregroundOtherFullScreen = c.otherFullScreen;
        fake.displayChangeRecent = c.recent;
        fake.busy = c.busy;
        fake.silent = true;   // silent mode does not affect the video key
        HotkeyHandlers handlers(fake.Env());
        handlers.OnVideoRecording();
        EXPECT_EQ(fake.requests, (std::vector<std::string>{c.request}));
        if (c.event) {
            EXPECT_EQ(fake.events, (std::vector<Event>{{L"Video", L"Launch on Hotkey", L"Local"}}));
        } else {
            EXPECT_TRUE(fake.events.empty());
        }
        EXPECT_EQ(fake.logs.size(), c.otherFullScreen ? 1u : 0u);
    }
    // The game branch ignores a second firing within 200 ms.
    Fake fake;
    fake.foregroundOtherFullScreen = fake.displayChangeRecent = true;
    HotkeyHandlers handlers(fake.Env());
    handlers.OnVideoRecording();
    fake.tick += 200;
    fake.busy = true;
    handlers.OnVideoRecording();
    EXPECT_EQ(fake.requests, (std::vector<std::string>{"post:game-video"}));
    fake.tick += 1;
    handlers.OnVideoRecording();
    EXPECT_EQ(fake.requests, (std::vector<std::string>{"post:game-video", "post:stop"}));
}

// The full-screen and window shots hold child processes back (the analytics event's
// curl.exe) from their event until the shot has been taken, and only that long. The
// region keys hold from their event until their request is posted; the request carries
// the hold on to the editor's first frame (the main dialog's part).
TEST(HotkeyHandlersTest, ShotsHoldAQuietPeriodFromTheirEventOn) {
    Fake fake;
    fake.activeWindowHotkey = {17, 65};
    std::vector<bool> quietAtPost;
    HotkeyHandlers::Environment env = fake.Env();
    env.post = [&fake, &quietAtPost](HotkeyRequest r) {
        fake.requests.push_back("post:" + Fake::Name(r));
        quietAtPost.push_back(QuietPeriod::IsActive());
    };
    HotkeyHandlers handlers(std::move(env));
    handlers.OnFullScreenshot();
    handlers.OnActiveWindowScreenshot();
    EXPECT_EQ(fake.quietAtEvent, (std::vector<bool>{true, true}));
    EXPECT_EQ(fake.quietAtSend, (std::vector<bool>{true, true}));
    EXPECT_FALSE(QuietPeriod::IsActive()) << "released when the shot is done";
    handlers.OnRegionScreenshot();
    handlers.OnRegionScreenshotByMouse();
    fake.fullScreenApp = fake.displayChangeRecent = true;   // the game's quiet full-screen shot
    handlers.OnRegionScreenshot();
    EXPECT_EQ(fake.quietAtEvent, (std::vector<bool>{true, true, true, true, true}));
    EXPECT_EQ(quietAtPost, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(fake.requests, (std::vector<std::string>{"send:full", "send:window", "post:region", "post:region",
                                                       "post:full"}));
    EXPECT_FALSE(QuietPeriod::IsActive()) << "the handler's own hold ends when it returns";
}

}  // namespace
