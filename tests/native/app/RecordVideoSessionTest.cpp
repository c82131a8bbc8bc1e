#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/RecordVideoSession.h"

namespace {

// Virtual time: every sleep advances it and lets the fake recorder and the scripted
// user actions run, so a recording of minutes takes microseconds and is exact.
class FakeClock : public ISessionClock {
public:
    int64_t NowMs() override { return now; }
    void SleepMs(int ms) override {
        now += ms;
        if (onSleep) onSleep(ms);
    }
    int64_t now = 1000000;
    std::function<void(int)> onSleep;
};

class FakeRecorder : public IVideoRecorder {
public:
    AudioDeviceStatus CheckAudioDevices() override {
        ++checks;
        checkedAt = clock ? clock->now : 0;
        return audio;
    }
    void RecordAsync(const RecorderRequest& r, RecorderResults& out) override {
        request = r;
        results = &out;
        startedAt = clock ? clock->now : 0;
        std::strcpy(out.cpuInfo, "Fake CPU");
        out.outputSize[0] = r.area.Width();
        out.outputSize[1] = r.area.Height();
        out.measuredFps = fps;
        if (failAtStart) Finish();
    }
    void FreeErrorText(char* text) override {
        std::free(text);
        ++freedTexts;
    }
    void DiscardOutput(const std::wstring& path) override { discarded.push_back(path); }
    // One step of the recorder: counts time unless paused, finishes once stopped.
    void Tick(int ms) {
        if (!results || results->finished) return;
        if (request.control->stop || request.control->cancel) {
            finishing += ms;
            if (finishing >= finishDelayMs) Finish();
            return;
        }
        if (!request.control->pause) results->recordedMs = results->recordedMs + ms * speed;
        recorded = results->recordedMs;
        if (failAfterMs >= 0 && results->recordedMs >= failAfterMs) Finish();
    }
    void Finish() {
        results->errorCode = errorCode;
        results->errorHResult = errorHResult;
        if (!errorText.empty()) results->errorText = strdup(errorText.c_str());
        recorded = results->recordedMs;
        finished = true;
        results->finished = true;
    }

    FakeClock* clock = nullptr;
    AudioDeviceStatus audio;
    int checks = 0;
    int64_t checkedAt = -1, startedAt = -1;
    RecorderRequest request;
    // Valid only while the session runs (the out-values live on its stack).
    RecorderResults* results = nullptr;
    // What the recorder last reported, kept for the checks after the session.
    double recorded = 0;
    bool finished = false;
    int fps = 25;
    double speed = 1.0;
    int finishDelayMs = 300;
    int finishing = 0;
    double failAfterMs = -1;
    bool failAtStart = false;
    int errorCode = 0;
    long errorHResult = 0;
    std::string errorText;
    int freedTexts = 0;
    std::vector<std::wstring> discarded;
};

struct Posted {
    SessionMessage message;
    int param;
    int64_t at;
};

class RecordingPoster : public ISessionPoster {
public:
    bool Post(SessionMessage message, int param) override {
        if (failures[message] > 0) {
            --failures[message];
            ++refused;
            return false;
        }
        posts.push_back({message, param, clock ? clock->now : 0});
        return true;
    }
    bool PostProgress(int64_t limitMs, int64_t elapsedMs) override {
        if (progressFailures > 0) {
            --progressFailures;
            return false;
        }
        progress.push_back({limitMs, elapsedMs, clock ? clock->now : 0});
        return true;
    }
    void Event(const std::wstring& category, const std::wstring& action, const std::wstring& label) override {
        events.push_back({category, action, label});
    }
    void Ended() override { ++ended; }

    std::vector<std::wstring> Actions() const {
        std::vector<std::wstring> out;
        for (const auto& e : events) out.push_back(e.action);
        return out;
    }
    std::vector<SessionMessage> Messages() const {
        std::vector<SessionMessage> out;
        for (const auto& p : posts) out.push_back(p.message);
        return out;
    }

    struct Progress {
        int64_t limit, elapsed, at;
    };
    struct Ev {
        std::wstring category, action, label;
    };
    FakeClock* clock = nullptr;
    std::vector<Posted> posts;
    std::vector<Progress> progress;
    std::vector<Ev> events;
    std::map<SessionMessage, int> failures;
    int progressFailures = 0;
    int refused = 0;
    int ended = 0;
};

// One session against the fakes; `script` runs at each virtual millisecond with the
// time since the recorder started (user actions on the control block).
struct Harness {
    Harness() {
        recorder.clock = &clock;
        poster.clock = &clock;
        job.productVersion = L"1.2.3";
        job.osVersion = "Windows 10";
        job.shortAppId = L"app7";
        job.area = {100, 100, 740, 580};
        job.panelWindow = 0x1234;
        job.videoPath = L"C:\\videos\\Video.mp4";
        job.control = std::make_shared<RecordingControl>();
        clock.onSleep = [this](int ms) {
            recorder.Tick(ms);
            if (script && recorder.startedAt >= 0) script(clock.now - recorder.startedAt, *job.control);
        };
    }
    void Run() { RecordVideoSession(job, recorder, clock, poster); }

    FakeClock clock;
    FakeRecorder recorder;
    RecordingPoster poster;
    VideoRecordingJob job;
    std::function<void(int64_t, RecordingControl&)> script;
};

void StopAt(Harness& h, int64_t ms) {
    h.script = [ms](int64_t t, RecordingControl& c) {
        if (t >= ms) c.stop = true;
    };
}

TEST(RecordVideoSessionTest, CategoryTable) {
    EXPECT_EQ(RecordingCategory(false, false), L"Video");
    EXPECT_EQ(RecordingCategory(false, true), L"FSVideo");
    EXPECT_EQ(RecordingCategory(true, false), L"GameVideo");
    EXPECT_EQ(RecordingCategory(true, true), L"GameVideo");
}

TEST(RecordVideoSessionTest, AudioLabelsAndWhatIsRecorded) {
    struct Case {
        bool sound, mic;
        AudioDeviceStatus status;
        const wchar_t* label;
        bool recSound, recMic;
        const wchar_t* audioFailedLabel;   // null: no such event
    };
    const Case cases[] = {
        {true, true, {true, true, true, ""}, L"A+M+X+", true, true, nullptr},
        {true, true, {true, true, false, "X-2ch-1ch"}, L"A+M+X-", true, false, L"Ver[1.2.3],Err[X-2ch-1ch],U[app7]"},
        {true, false, {true, false, false, ""}, L"A+", true, false, nullptr},
        {false, true, {false, false, false, "/M-18-0.000000"}, L"M-", false, false,
         L"Ver[1.2.3],Err[/M-18-0.000000],U[app7]"},
        // System sound broken, microphone fine: the microphone is recorded alone.
        {true, true, {false, true, false, "A-21-0.000000"}, L"A-M+X-", false, true,
         L"Ver[1.2.3],Err[A-21-0.000000],U[app7]"},
        {false, false, {true, true, true, "never asked"}, L"", false, false, nullptr},
    };
    for (const Case& c : cases) {
        Harness h;
        h.job.recordSound = c.sound;
        h.job.recordMicrophone = c.mic;
        h.recorder.audio = c.status;
        StopAt(h, 50);
        h.Run();
        SCOPED_TRACE(testing::Message() << "label " << std::string(c.label, c.label + wcslen(c.label)));
        EXPECT_EQ(h.recorder.checks, (c.sound || c.mic) ? 1 : 0);
        EXPECT_EQ(h.recorder.request.recordSound, c.recSound);
        EXPECT_EQ(h.recorder.request.recordMicrophone, c.recMic);
        ASSERT_GE(h.poster.events.size(), 1u);
        size_t start = 0;
        if (c.audioFailedLabel) {
            ASSERT_EQ(h.poster.events[0].action, L"AudioFailed");
            EXPECT_EQ(h.poster.events[0].label, c.audioFailedLabel);
            start = 1;
        }
        ASSERT_GT(h.poster.events.size(), start);
        EXPECT_EQ(h.poster.events[start].action, L"Start");
        EXPECT_EQ(h.poster.events[start].label, std::wstring(L"Ver[1.2.3],A[") + c.label + L"],U[app7]");
    }
}

TEST(RecordVideoSessionTest, SizeLimitByQuality) {
    const struct {
        int quality, w, h;
    } cases[] = {{0, 640, 480}, {1, 1280, 720}, {2, 0, 0}, {3, 1280, 720}, {-1, 1280, 720}};
    for (const auto& c : cases) {
        Harness h;
        h.job.quality = c.quality;
        StopAt(h, 10);
        h.Run();
        EXPECT_EQ(h.recorder.request.maxWidth, c.w) << c.quality;
        EXPECT_EQ(h.recorder.request.maxHeight, c.h) << c.quality;
    }
}

TEST(RecordVideoSessionTest, TimeLimitEndsLikeAStopAndKeepsTheFile) {
    // The fake records 1000 ms per millisecond, so the limits come within seconds of
    // virtual time. 240 minutes locally, 30 for an upload; the outcome names the kind.
    for (bool local : {true, false}) {
        Harness h;
        h.job.local = local;
        h.job.panelWindow = 0;
        h.recorder.speed = 1000.0;
        h.Run();
        const double limit = 60000.0 * (local ? 240 : 30);
        EXPECT_GE(h.recorder.recorded, limit);
        EXPECT_LT(h.recorder.recorded, limit + 1001);
        ASSERT_FALSE(h.poster.posts.empty());
        EXPECT_EQ(h.poster.posts.back().message, SessionMessage::VideoRecorded);
        EXPECT_EQ(h.poster.posts.back().param, local ? 1 : 0);
        EXPECT_EQ(h.recorder.request.game, false);
    }
}

TEST(RecordVideoSessionTest, ReportTextIsExact) {
    RecordingReport r;
    r.productVersion = L"1.2.3";
    r.osVersion = "Windows 10 (19045)";
    r.cpuInfo = "Intel(R) Core(TM) i5";
    r.area = {0, 0, 1280, 720};
    r.outputWidth = 640;
    r.outputHeight = 480;
    r.fps = 24;
    r.audioLabel = L"A+M+";
    r.recordedMs = 61000;
    r.finishingMs = 1500;
    r.errorCode = 7;
    r.errorHResult = static_cast<long>(static_cast<int32_t>(0x8007000E));
    r.errorText = L"E_OUTOFMEMORY";
    r.shortAppId = L"abc";
    EXPECT_EQ(FormatRecordingReport(r),
              L"Ver[1.2.3],OS[Windows 10 (19045)],C[Intel(R) Core(TM) i5],V[1080p, 480p, 20-25],A[A+M+],"
              L"D[1-3 min],PD[2-3],Err[7-8007000e],Inf[E_OUTOFMEMORY],U[abc]");
}

TEST(RecordVideoSessionTest, ErrorCodesDecideTheOutcome) {
    struct Case {
        int code;
        long hr;
        const char* text;
        bool success;
        int stringId;
        const wchar_t* errPart;
    };
    const Case cases[] = {
        {0, 0, "", true, 0, L"Err[0-0],Inf[]"},
        {11, 0, "", true, 0, L"Err[0-0],Inf[]"},
        {6, static_cast<long>(static_cast<int32_t>(0x88890004)), "device gone", false, 189,
         L"Err[6-88890004],Inf[device gone]"},
        {2, static_cast<long>(static_cast<int32_t>(0x80070005)), "", false, 184, L"Err[2-80070005],Inf[]"},
        {30, 0, "", false, 184, L"Err[30-0],Inf[]"},
    };
    for (const Case& c : cases) {
        Harness h;
        h.recorder.errorCode = c.code;
        h.recorder.errorHResult = c.hr;
        h.recorder.errorText = c.text;
        h.recorder.failAfterMs = 200;   // the recorder ends by itself: no finishing time
        h.Run();
        SCOPED_TRACE(c.code);
        EXPECT_EQ(h.recorder.freedTexts, c.text[0] ? 1 : 0);
        ASSERT_FALSE(h.poster.posts.empty());
        const Posted& last = h.poster.posts.back();
        auto actions = h.poster.Actions();
        if (c.success) {
            EXPECT_EQ(last.message, SessionMessage::VideoRecorded);
            EXPECT_EQ(actions, (std::vector<std::wstring>{L"Start", L"Finished", L"Ready FPS", L"Ready Duration"}));
            EXPECT_EQ(h.poster.events[2].label, L"25, 360-480p");   // 640 x 480
            EXPECT_EQ(h.poster.events[3].label, L"0-5 sec");
        } else {
            EXPECT_EQ(last.message, SessionMessage::VideoFailed);
            EXPECT_EQ(last.param, c.stringId);
            EXPECT_EQ(actions, (std::vector<std::wstring>{L"Start", L"Failed"}));
        }
        const std::wstring& report = h.poster.events[1].label;
        EXPECT_NE(report.find(c.errPart), std::wstring::npos) << std::string(report.begin(), report.end());
        EXPECT_EQ(report.find(L"Ver[1.2.3],OS[Windows 10],C[Fake CPU],V[480p, 480p, 25-30],A[],D[0-5 sec],PD[0],"), 0u)
            << std::string(report.begin(), report.end());
        EXPECT_EQ(h.poster.ended, 1);
    }
}

TEST(RecordVideoSessionTest, KeptRecordingPostsTheEndMessagesInOrder) {
    Harness h;
    StopAt(h, 500);
    h.Run();
    EXPECT_EQ(h.poster.Messages(),
              (std::vector<SessionMessage>{SessionMessage::CloseCaptureWindows, SessionMessage::ShowProgress,
                                           SessionMessage::HideProgress, SessionMessage::VideoRecorded}));
    EXPECT_EQ(h.poster.posts[1].param, 181);
    EXPECT_TRUE(h.recorder.discarded.empty());
    // The progress window stays up while the recorder finishes (300 ms here).
    EXPECT_GE(h.poster.posts[2].at - h.poster.posts[1].at, 300);
    EXPECT_TRUE(h.job.control->done.load());
}

TEST(RecordVideoSessionTest, CancelReportsOnlyTheCancel) {
    Harness h;
    h.script = [](int64_t t, RecordingControl& c) {
        if (t >= 400) c.cancel = true;
    };
    h.Run();
    EXPECT_EQ(h.poster.Messages(), std::vector<SessionMessage>{SessionMessage::CloseCaptureWindows});
    EXPECT_EQ(h.poster.Actions(), (std::vector<std::wstring>{L"Start", L"Cancel"}));
    // The file is dropped once the recorder has closed it.
    EXPECT_EQ(h.recorder.discarded, std::vector<std::wstring>{L"C:\\videos\\Video.mp4"});
    // The recorder was asked to finish and did.
    EXPECT_TRUE(h.recorder.finished);
    EXPECT_TRUE(h.job.control->done.load());
    EXPECT_EQ(h.poster.ended, 1);
}

TEST(RecordVideoSessionTest, StopDuringPauseKeepsTheFileAndSendsPauseOnce) {
    Harness h;
    h.script = [](int64_t t, RecordingControl& c) {
        if (t == 1000) c.pause = true;    // pause
        if (t == 1500) c.pause = false;   // resume
        if (t == 2000) c.pause = true;    // pause again
        if (t == 2500) c.stop = true;     // stop while paused
    };
    h.Run();
    auto actions = h.poster.Actions();
    EXPECT_EQ(std::count(actions.begin(), actions.end(), L"Pause"), 1);
    EXPECT_EQ(h.poster.posts.back().message, SessionMessage::VideoRecorded);
    // Paused time is not recorded: 1000 + 500 ms.
    EXPECT_NEAR(h.recorder.recorded, 1500.0, 2.0);
    // No progress while paused.
    for (const auto& p : h.poster.progress) {
        int64_t t = p.at - h.recorder.startedAt;
        EXPECT_FALSE(t > 1001 && t < 1500) << t;
        EXPECT_FALSE(t > 2001) << t;
    }
}

TEST(RecordVideoSessionTest, ProgressIsRateLimitedAndOnlyWithAPanel) {
    Harness h;
    StopAt(h, 1000);
    h.poster.progressFailures = 3;   // a full queue: later passes try again
    h.Run();
    ASSERT_GE(h.poster.progress.size(), 9u);
    EXPECT_LE(h.poster.progress.size(), 11u);
    for (size_t i = 1; i < h.poster.progress.size(); ++i) {
        EXPECT_GE(h.poster.progress[i].at - h.poster.progress[i - 1].at, kProgressIntervalMs);
        EXPECT_EQ(h.poster.progress[i].limit, 240 * 60000);
        EXPECT_GE(h.poster.progress[i].elapsed, h.poster.progress[i - 1].elapsed);
    }
    Harness none;
    none.job.panelWindow = 0;
    StopAt(none, 1000);
    none.Run();
    EXPECT_TRUE(none.poster.progress.empty());
}

TEST(RecordVideoSessionTest, EndMessagesAreRetriedUntilQueued) {
    Harness h;
    StopAt(h, 100);
    h.poster.failures[SessionMessage::CloseCaptureWindows] = 5;
    h.poster.failures[SessionMessage::HideProgress] = 40;
    h.poster.failures[SessionMessage::VideoRecorded] = 7;
    h.Run();
    EXPECT_EQ(h.poster.refused, 52);
    EXPECT_EQ(h.poster.Messages(),
              (std::vector<SessionMessage>{SessionMessage::CloseCaptureWindows, SessionMessage::ShowProgress,
                                           SessionMessage::HideProgress, SessionMessage::VideoRecorded}));
}

TEST(RecordVideoSessionTest, WaitsForThePreviousRecordingBeforeTheAudioCheck) {
    Harness h;
    h.job.recordMicrophone = true;
    h.recorder.audio = {false, true, false, ""};
    auto previous = std::make_shared<RecordingControl>();
    h.job.previous = previous;
    const int64_t begin = h.clock.now;
    // The previous recorder closes its file 700 ms later.
    h.clock.onSleep = [&](int ms) {
        if (h.clock.now - begin >= 700) previous->done = true;
        h.recorder.Tick(ms);
        if (h.recorder.startedAt >= 0 && h.clock.now - h.recorder.startedAt >= 50) h.job.control->stop = true;
    };
    h.Run();
    EXPECT_GE(h.recorder.checkedAt - begin, 700);
    EXPECT_GE(h.recorder.startedAt, h.recorder.checkedAt);
    EXPECT_EQ(h.job.previous, nullptr);   // released once done
    // The new recorder got the new block, not the previous one.
    EXPECT_EQ(h.recorder.request.control, h.job.control.get());
    EXPECT_FALSE(previous->stop.load());
}

// The real clock and a recorder on its own thread: the flags and out-values cross
// threads as in the program.
class ThreadedRecorder : public IVideoRecorder {
public:
    ~ThreadedRecorder() override {
        if (worker.joinable()) worker.join();
    }
    AudioDeviceStatus CheckAudioDevices() override { return {}; }
    void RecordAsync(const RecorderRequest& r, RecorderResults& out) override {
        worker = std::thread([r, &out] {
            while (!r.control->stop && !r.control->cancel) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                if (!r.control->pause) out.recordedMs = out.recordedMs + 1.0;
            }
            out.finished = true;
        });
    }
    void FreeErrorText(char* text) override { std::free(text); }
    void DiscardOutput(const std::wstring&) override {}
    std::thread worker;
};

TEST(RecordVideoSessionTest, RealThreadsStopFromTheUiSide) {
    ThreadedRecorder recorder;
    SteadySessionClock clock;
    RecordingPoster poster;
    VideoRecordingJob job;
    job.panelWindow = 1;
    job.control = std::make_shared<RecordingControl>();
    std::thread session([&] { RecordVideoSession(job, recorder, clock, poster); });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    job.control->stop = true;
    session.join();
    EXPECT_EQ(poster.Messages().back(), SessionMessage::VideoRecorded);
    EXPECT_GE(poster.progress.size(), 1u);
    EXPECT_LE(poster.progress.size(), 3u);
}

}  // namespace
