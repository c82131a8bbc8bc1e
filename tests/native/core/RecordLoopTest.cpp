#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "LogCapture.h"
#include "ManualClock.h"
#include "RecordFakes.h"
#include "SessionFakes.h"
#include "core/CvxVideoMode.h"
#include "core/ScreenshotSessions.h"
#include "core/video/RecordLoop.h"

namespace {

const MonitorSizeMap kOne = {{L"\\\\.\\DISPLAY1", {1920, 1080}}};
const MonitorSizeMap kTwo = {{L"\\\\.\\DISPLAY1", {1920, 1080}}, {L"\\\\.\\DISPLAY2", {1280, 1024}}};
constexpr int64_t kMs = 10000;
constexpr uint32_t kChunkFrames = 480;   // 10 ms at 48 kHz

// The record loop with fake readers, a fake writer, a manual clock (also the
// performance counter) and a microphone that delivers 10 ms of a constant level.
struct LoopRig {
    ManualClock clock;
    FakeReaderWorld world;
    MonitorSizeMap monitors = kOne;
    ScreenshotSessions sessions{world.Factory(), [this] { return monitors; }, CvxVideoModeGdi};
    int currentMode = CvxVideoModeGdi;
    PortableRecordSessions recordSessions{sessions, [this] { return currentMode; }};
    CvxRecordErrorState error;
    std::atomic<bool> errorFlag{false};
    CvxMediaWriterState writer;
    std::shared_ptr<FakeWriterRecord> record = std::make_shared<FakeWriterRecord>();
    std::unique_ptr<AudioMixer> mixer;
    std::atomic<AudioMixer*> mixerSlot{nullptr};
    std::atomic<bool> go{false}, stop{false}, pause{false};
    std::atomic<int> measuredFps{-1};
    std::atomic<double> recordedMs{-1.0};
    uint64_t workingSet = 1000;
    RecordLoopJob job;
    int stepMs = 0;                               // clock step per sleep; 0: what the loop asks
    int overshootMs = 0;                          // sleeps last up to this much longer than asked
    int stallEvery = 0, stallMs = 0;              // every stallEvery-th sleep lasts stallMs longer
    bool stampFrames = true;                      // readers stamp frames with the clock
    std::function<void(double elapsedMs)> onSleep;
    int64_t startTicks = 0;
    int passes = 0;
    bool audio = false;
    bool microphoneQuiet = false;
    int64_t audioNext = 0;
    int audioLatencyMs = 0;                       // a chunk arrives this late
    double skipFromMs = 0, skipToMs = 0;          // captured here: not expected in the file
    uint64_t audioExpectedFrames = 0;

    LoopRig() {
        error.errorFlag = &errorFlag;
        writer.writer = std::make_unique<FakeMediaWriter>(record);
        for (int mode : {0, 1, 2}) world.reads[mode] = FakeRead::Image;
        world.fill = {{0, 7}, {1, 8}, {2, 9}};
        job.error = &error;
        job.writer = &writer;
        job.sessions = &recordSessions;
        job.mixer = &mixer;
        job.mixerSlot = &mixerSlot;
        job.goFlag = &go;
        job.stopFlag = &stop;
        job.pauseFlag = &pause;
        job.measuredFps = &measuredFps;
        job.recordedMs = &recordedMs;
        job.captureRect = CvxRect{0, 0, 8, 4};
        job.fps = 30;
        job.memoryCap = uint64_t(1) << 30;
    }
    void WithMicrophone() {
        audio = true;
        job.recordAudio = true;
        const CvxWaveFormat format = StereoFloat48k();
        AddAudioStream(error, writer, false, true, nullptr, &format);
    }
    double ElapsedMs() const { return double(clock.Now() - startTicks) / double(kMs); }
    // A rate of one frame a millisecond: every pass of the rig's 1-ms sleeps may read and
    // write a frame, for tests about what happens to the frames rather than their pace.
    void ReadEveryPass() { job.fps = 1000; }

    void Run(double stopAtMs) {
        startTicks = clock.Now();
        audioNext = clock.Now();
        RecordLoopPlatform p;
        p.now = clock.Source();
        p.qpc = [this] { return uint64_t(clock.Now()); };
        p.sleep = [this, stopAtMs](int ms) {
            ++passes;
            clock.AdvanceMs((stepMs ? stepMs : ms) + (overshootMs ? passes * 7 % (overshootMs + 1) : 0) +
                            (stallEvery && passes % stallEvery == 0 ? stallMs : 0));
            if (stampFrames) world.time = uint64_t(clock.Now());
            if (audio) PushAudio();
            if (onSleep) onSleep(ElapsedMs());
            if (ElapsedMs() >= stopAtMs) stop = true;
        };
        p.workingSet = [this](uint64_t& bytes) {
            bytes = workingSet;
            return true;
        };
        RecordLoop(job, p);
    }

    // Like the capture thread: every chunk goes to the mixer, stamped with its capture
    // time, `audioLatencyMs` after it was captured.
    void PushAudio() {
        while (clock.Now() - audioLatencyMs * kMs - audioNext >= 10 * kMs) {
            std::vector<float> level(kChunkFrames * 2, 0.25f);
            audio_data_t chunk = audio_data_t::Copy(uint64_t(audioNext), level.data(), kChunkFrames * 8, 8, 48000, 2);
            if (!microphoneQuiet && mixerSlot.load()) {
                mixerSlot.load()->Push(AudioMixer::kMicrophoneQueue, chunk);
                const double at = double(audioNext - startTicks) / double(kMs);
                if (!(at >= skipFromMs && at < skipToMs)) audioExpectedFrames += kChunkFrames;
            }
            audioNext += 10 * kMs;
        }
    }

    // Frames of the level that reached the file (each float 0.25 has two non-zero bytes).
    uint64_t AudioLevelFrames() {
        uint64_t bytes = 0;
        for (const auto& s : record->Stream(kFakeAudioStream)) bytes += s.nonZeroBytes;
        return bytes / 4;
    }
    size_t FrameBytes() const { return size_t(job.captureRect.Width()) * size_t(job.captureRect.Height()) * 4; }
};

bool HasLineStartingWith(LogCapture& log, const std::string& start) {
    for (const std::string& line : log.Lines())
        if (line.rfind(start, 0) == 0) return true;
    return false;
}

TEST(RecordLoop, PauseKeepsTimeStillAndLosesNoAudio) {
    LoopRig rig;
    rig.ReadEveryPass();
    rig.WithMicrophone();
    // Audio arrives 150 ms late: what was captured just before the pause comes in while
    // paused, what was captured at its end after it.
    rig.audioLatencyMs = 150;
    rig.skipFromMs = 3000;
    rig.skipToMs = 8000;
    std::vector<double> pausedValues;
    rig.onSleep = [&](double ms) {
        rig.pause = ms >= 3000 && ms < 8000;
        if (ms > 3100 && ms < 8000) pausedValues.push_back(rig.recordedMs.load());
    };
    LogCapture log;
    rig.Run(12000);
    log.Lines();   // ends the capture, so that failures below are shown
    ASSERT_EQ(rig.error.code.load(), 0) << log.All();

    ASSERT_FALSE(pausedValues.empty());
    EXPECT_EQ(*std::min_element(pausedValues.begin(), pausedValues.end()),
              *std::max_element(pausedValues.begin(), pausedValues.end()))
        << "recorded time stands still while paused";
    EXPECT_NEAR(pausedValues.front(), 3000, 3);
    EXPECT_NEAR(rig.recordedMs.load(), 7000, 3);

    // Video: no hole where the pause was; the first frame after it sits 5 s before its
    // capture time.
    const auto video = rig.record->Stream(kFakeVideoStream);
    ASSERT_GT(video.size(), 100u);
    for (size_t i = 1; i < video.size(); ++i) {
        ASSERT_GT(video[i].time, video[i - 1].time);
        ASSERT_LE(video[i].time - video[i - 1].time, 3 * kMs) << "frame " << i;
    }
    EXPECT_NEAR(double(video.back().time) / kMs, 7000, 3);

    // Audio: everything captured outside the pause reaches the file, nothing captured
    // inside it, and what followed the pause is placed 5 s before its capture time.
    EXPECT_EQ(rig.AudioLevelFrames(), rig.audioExpectedFrames);
    EXPECT_GT(rig.audioExpectedFrames, uint64_t(48000 * 6.7));
    const auto audio = rig.record->Stream(kFakeAudioStream);
    bool sawAfterPause = false;
    for (const auto& s : audio) {
        // No packet lies inside the first 3 s and also claims time beyond them
        // except as continuous audio: starts never go past the recorded end.
        EXPECT_LE(double(s.time) / kMs, 7000 + 1);
        if (s.time > 3000 * kMs && s.nonZeroBytes) sawAfterPause = true;
        // No gap filled with silence at the pause point: only the tail that had not
        // arrived when the recording stopped.
        if (s.nonZeroBytes == 0) {
            EXPECT_GE(s.time, 6840 * kMs) << "silence at " << s.time / kMs << " ms";
        }
    }
    EXPECT_TRUE(sawAfterPause);
    EXPECT_NEAR(double(rig.writer.lastAudioEnd - rig.writer.origin) / kMs, 7000, 2)
        << "the audio track reaches the end of the video";
}

TEST(RecordLoop, EveryModeIsPacedToTheDeclaredRate) {
    // Frames follow the declared rate whatever the mode: never closer than 70 % of its
    // interval, late frames are made up for, and the loop sleeps until a frame is due
    // instead of reading frames it would drop. Sound stays with the picture.
    struct Case {
        const char* what;
        int mode, fps;
        bool slowComputer;
        int overshootMs;        // sleeps last up to this much longer (a coarse timer)
        int stallEvery;         // every n-th sleep lasts 100 ms longer (a busy machine)
        int readMs;             // what one read costs
        double expectedFps;
        int passesPerFrame;     // at most
    };
    const Case cases[] = {
        {"GDI", CvxVideoModeGdi, 25, false, 0, 0, 0, 25, 1},
        {"GDI at 30", CvxVideoModeGdi, 30, false, 0, 0, 0, 30, 1},
        {"Direct3D 9", CvxVideoModeDx9, 25, false, 0, 0, 0, 25, 1},
        {"DXGI", CvxVideoModeDxgi, 30, false, 0, 0, 0, 30, 1},
        {"GDI, coarse timer", CvxVideoModeGdi, 25, false, 15, 0, 0, 25, 1},
        {"DXGI, coarse timer", CvxVideoModeDxgi, 30, false, 15, 0, 0, 30, 1},
        {"GDI, busy machine", CvxVideoModeGdi, 25, false, 0, 20, 0, 25, 1},
        {"Direct3D 9, reads of 12 ms", CvxVideoModeDx9, 25, false, 0, 0, 12, 25, 1},
        {"GDI, reads slower than the rate", CvxVideoModeGdi, 25, false, 0, 0, 50, 1000.0 / 51, 1},
        {"GDI, slow computer", CvxVideoModeGdi, 6, true, 0, 0, 0, 6, 4},
        {"DXGI, slow computer", CvxVideoModeDxgi, 10, true, 0, 0, 0, 10, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LoopRig rig;
        rig.WithMicrophone();
        rig.currentMode = c.mode;
        rig.job.fps = c.fps;
        rig.job.slowComputer = c.slowComputer;
        rig.overshootMs = c.overshootMs;
        rig.stallEvery = c.stallEvery;
        rig.stallMs = 100;
        rig.world.onRead = [&] { rig.clock.AdvanceMs(c.readMs); };
        LogCapture log;
        rig.Run(10000);
        log.Lines();   // ends the capture, so that failures below are shown
        ASSERT_EQ(rig.error.code.load(), 0) << log.All();
        EXPECT_TRUE(log.Has("[cvxcore]:Recording video modes: " + std::to_string(c.mode) + "-" +
                            std::to_string(c.mode)));
        const auto video = rig.record->Stream(kFakeVideoStream);
        ASSERT_GT(video.size(), 50u);
        const double spanMs = double(video.back().time - video.front().time) / kMs;
        EXPECT_NEAR(double(video.size() - 1) * 1000.0 / spanMs, c.expectedFps, c.expectedFps * 0.01);
        const double minGapMs = double(1000 / c.fps) * 0.7;
        for (size_t i = 1; i < video.size(); ++i)
            ASSERT_GE(double(video[i].time - video[i - 1].time) / kMs, minGapMs) << "frame " << i;
        EXPECT_EQ(size_t(rig.world.readCount), video.size()) << "every read frame is written";
        EXPECT_LE(rig.passes, int(video.size()) * c.passesPerFrame + 2) << "sleeps until a frame is due";
        EXPECT_EQ(rig.AudioLevelFrames(), rig.audioExpectedFrames);
        EXPECT_NEAR(double(rig.writer.lastAudioEnd - rig.writer.origin), double(video.back().time), 10000.0)
            << "the audio track reaches the end of the video";
    }
}

TEST(RecordLoop, FramesOnlyWhenTheirTimeAdvances) {
    LoopRig rig;
    rig.ReadEveryPass();
    rig.stampFrames = false;
    // The reader's time moves every 10 ms only.
    rig.onSleep = [&](double ms) { rig.world.time = uint64_t(rig.startTicks) + uint64_t(ms / 10) * 10 * kMs; };
    LogCapture log;
    rig.Run(1000);
    log.Lines();   // ends the capture, so that failures below are shown
    const auto video = rig.record->Stream(kFakeVideoStream);
    EXPECT_GE(video.size(), 98u);
    EXPECT_LE(video.size(), 101u);
    for (size_t i = 1; i < video.size(); ++i) ASSERT_EQ(video[i].time - video[i - 1].time, 10 * kMs);
}

TEST(RecordLoop, ReadWithoutTimeIsStampedWithTheCounter) {
    LoopRig rig;
    rig.currentMode = CvxVideoModeDxgi;
    rig.stampFrames = false;
    rig.world.time = 0;
    rig.stepMs = 30;
    rig.job.fps = 100;   // every 30-ms pass is due
    LogCapture log;
    rig.Run(300);
    log.Lines();   // ends the capture, so that failures below are shown
    const auto video = rig.record->Stream(kFakeVideoStream);
    ASSERT_EQ(video.size(), 10u);
    // The clock is the counter here: pass n reads at n x 30 ms after the origin.
    for (size_t i = 0; i < video.size(); ++i) EXPECT_EQ(video[i].time, int64_t(i + 1) * 30 * kMs);
}

TEST(RecordLoop, ReadFailuresGiveBlackFramesThenAGdiSession) {
    LoopRig rig;
    rig.currentMode = CvxVideoModeDxgi;
    rig.world.reads[CvxVideoModeDxgi] = FakeRead::ThrowCvx;
    rig.stepMs = 30;
    rig.job.fps = 100;   // every 30-ms pass is due
    // Later the GDI session fails three times in a row: the tries are not restored.
    rig.onSleep = [&](double) {
        rig.world.reads[CvxVideoModeGdi] = rig.passes >= 20 && rig.passes < 23 ? FakeRead::ThrowCvx : FakeRead::Image;
    };
    LogCapture log;
    rig.Run(30 * 30);
    log.Lines();   // ends the capture, so that failures below are shown
    const std::string refreshLine = "[cvxcore]:cvxcore: Failed CvxGetScreenshot try to refresh session and continue...";
    const std::string gdiLine =
        "[cvxcore]:cvxcore: Failed CvxGetScreenshot: refresh session tries elapsed, try GDI session and continue...";
    EXPECT_EQ(log.Count(refreshLine), 10u) << log.All();
    EXPECT_EQ(log.Count(gdiLine), 4u);
    EXPECT_EQ(rig.error.code.load(), 0);

    const auto video = rig.record->Stream(kFakeVideoStream);
    ASSERT_GT(video.size(), 12u);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(video[i].size, rig.FrameBytes()) << i;
        EXPECT_EQ(video[i].nonZeroBytes, 0u) << "black frame " << i;
    }
    EXPECT_GT(video[10].nonZeroBytes, 0u) << "then the GDI session's picture";
    // DXGI reader at start, ten refreshes, then GDI sessions.
    size_t dxgi = 0, gdi = 0;
    for (const std::string& b : rig.world.built) (b[0] == '2' ? dxgi : gdi) += 1;
    EXPECT_EQ(dxgi, 11u);
    EXPECT_EQ(gdi, 4u);
}

TEST(RecordLoop, SessionThatFellBackToGdiAtStart) {
    LoopRig rig;
    rig.currentMode = CvxVideoModeDxgi;
    rig.world.buildFails[CvxVideoModeDxgi] = true;
    LogCapture log;
    rig.Run(1000);
    log.Lines();   // ends the capture, so that failures below are shown
    EXPECT_TRUE(log.Has("[cvxcore]:Recording video modes: 2-0")) << log.All();
    // Paced at the declared rate like any session.
    EXPECT_NEAR(double(rig.record->Stream(kFakeVideoStream).size()), 30.0, 1.0);
}

TEST(RecordLoop, ChangedMonitorsEndTheLoopWithoutAFailure) {
    LoopRig rig;
    rig.WithMicrophone();
    rig.onSleep = [&](double ms) {
        if (ms >= 500) {
            rig.world.reads[CvxVideoModeGdi] = FakeRead::ThrowCvx;
            rig.monitors = kTwo;
        }
    };
    LogCapture log;
    rig.Run(5000);
    log.Lines();   // ends the capture, so that failures below are shown
    EXPECT_EQ(rig.error.code.load(), CvxRecordError_DisplayChanged);
    EXPECT_EQ(rig.error.hresult.load(), 0);
    EXPECT_FALSE(rig.errorFlag.load()) << "no error flag";
    EXPECT_FALSE(HasLineStartingWith(log, "[cvxcore]:[Failed]")) << log.All();
    EXPECT_TRUE(log.Has("[cvxcore]:cvxcore: Detected CvxGetScreenshot_VideoConfigurationChanged. Stopping..."));
    EXPECT_LT(rig.ElapsedMs(), 510) << "the loop was left";
    EXPECT_TRUE(HasLineStartingWith(log, "[cvxcore]:Write silence to fillup to cvxTime: ")) << "a normal end";
    EXPECT_EQ(rig.world.alive, 0) << "session stopped";
}

TEST(RecordLoop, NoSessionFailsOnTheFirstPass) {
    LoopRig rig;
    for (int mode : {0, 1, 2}) rig.world.buildFails[mode] = true;
    LogCapture log;
    rig.Run(1000);
    log.Lines();   // ends the capture, so that failures below are shown
    EXPECT_EQ(rig.error.code.load(), CvxRecordError_NoSession);
    EXPECT_EQ(rig.error.hresult.load(), 1);
    EXPECT_EQ(log.Count("[cvxcore]:[Failed]:err=12 errEx=0x1"), 1u) << log.All();
    EXPECT_EQ(rig.passes, 0) << "left on the first pass, before its sleep";
    EXPECT_TRUE(rig.record->Stream(kFakeVideoStream).empty());
}

TEST(RecordLoop, BeginWritingFailureStartsNoSession) {
    LoopRig rig;
    rig.record->beginResult = kWriterFail;
    LogCapture log;
    rig.Run(1000);
    log.Lines();   // ends the capture, so that failures below are shown
    EXPECT_EQ(rig.error.code.load(), CvxRecordError_BeginWriting);
    EXPECT_TRUE(rig.world.built.empty());
    EXPECT_FALSE(rig.go.load());
    EXPECT_FALSE(log.Has("[cvxcore]:Begin writing to sink-writer"));
}

TEST(RecordLoop, StopBeforeTheFirstFrameWritesNoSilence) {
    LoopRig rig;
    rig.WithMicrophone();
    rig.stop = true;
    LogCapture log;
    rig.Run(1000);
    log.Lines();   // ends the capture, so that failures below are shown
    EXPECT_FALSE(HasLineStartingWith(log, "[cvxcore]:Write silence to fillup to cvxTime:")) << log.All();
    EXPECT_EQ(rig.world.built.size(), 1u);
    EXPECT_EQ(rig.world.alive, 0) << "the session is stopped";
    EXPECT_TRUE(rig.go.load());
    EXPECT_TRUE(rig.record->samples.empty());
}

TEST(RecordLoop, EndDrainsTheMixerAndFillsSilenceToTheLastFrame) {
    LoopRig rig;
    rig.WithMicrophone();
    rig.onSleep = [&](double ms) { rig.microphoneQuiet = ms >= 2000; };
    LogCapture log;
    rig.Run(2500);
    log.Lines();   // ends the capture, so that failures below are shown
    const auto video = rig.record->Stream(kFakeVideoStream);
    ASSERT_FALSE(video.empty());
    const uint64_t lastFrame = rig.writer.origin + uint64_t(video.back().time);
    EXPECT_TRUE(log.Has("[cvxcore]:Write silence to fillup to cvxTime: " + std::to_string(lastFrame))) << log.All();
    EXPECT_EQ(rig.AudioLevelFrames(), rig.audioExpectedFrames) << "everything queued was written";
    EXPECT_NEAR(double(rig.writer.lastAudioEnd), double(lastFrame), 10000.0) << "audio reaches the video's end";
}

TEST(RecordLoop, MemoryCapHoldsFramesAndAudioBack) {
    LoopRig rig;
    rig.ReadEveryPass();
    rig.WithMicrophone();
    rig.job.memoryCap = 500000;
    size_t samplesAtStart = 0, samplesAtEnd = 0;
    rig.onSleep = [&](double ms) {
        const bool over = (ms >= 1000 && ms < 3000) || (ms >= 4000 && ms < 4500);
        rig.workingSet = over ? 500000 : 499999;
        if (ms == 1001) samplesAtStart = rig.record->samples.size();
        if (ms == 2999) samplesAtEnd = rig.record->samples.size();
    };
    LogCapture log;
    rig.Run(6000);
    log.Lines();   // ends the capture, so that failures below are shown
    EXPECT_EQ(log.Count("[cvxcore]:Max memory exceeded..."), 1u);
    EXPECT_GT(samplesAtStart, 0u);
    EXPECT_EQ(samplesAtStart, samplesAtEnd) << "nothing written while over the cap";
    for (const auto& s : rig.record->Stream(kFakeVideoStream))
        EXPECT_FALSE(s.time > 1001 * kMs && s.time < 3000 * kMs) << s.time;
    // The backlog goes out in one packet once the working set is below the cap again.
    bool backlogInOne = false;
    for (const auto& s : rig.record->Stream(kFakeAudioStream))
        if (s.duration >= 1990 * kMs) backlogInOne = true;
    EXPECT_TRUE(backlogInOne);
    EXPECT_EQ(rig.AudioLevelFrames(), rig.audioExpectedFrames);
}

TEST(RecordLoop, MeasuredFrameRateEverySecondSpeedLineEveryFive) {
    LoopRig rig;
    rig.stepMs = 10;   // 100 frames a second
    rig.job.fps = 100;
    std::vector<std::pair<double, int>> published;
    // Every publication is taken and the value put back to -1.
    rig.onSleep = [&](double ms) {
        const int value = rig.measuredFps.exchange(-1);
        if (value != -1) published.push_back({ms, value});
    };
    LogCapture log;
    rig.Run(11000);
    log.Lines();   // ends the capture, so that failures below are shown
    ASSERT_GE(published.size(), 9u);
    EXPECT_GE(published.front().first, 1000);
    for (size_t i = 1; i < published.size(); ++i) EXPECT_GE(published[i].first - published[i - 1].first, 1000);
    for (const auto& p : published) EXPECT_NEAR(p.second, 100, 1) << p.first;
    EXPECT_EQ(log.Count("[cvxcore]:speed=0.00 ms"), 2u) << log.All();
}

}  // namespace
