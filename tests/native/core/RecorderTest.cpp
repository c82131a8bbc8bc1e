#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include <unistd.h>

#include "LogCapture.h"
#include "RecordFakes.h"
#include "SessionFakes.h"
#include "ShellOutput.h"
#include "core/CvxVideoMode.h"
#include "core/ScreenshotSessions.h"
#include "core/video/Recorder.h"
#include "foundation/Stopwatch.h"

namespace {

const MonitorSizeMap kOne = {{L"\\\\.\\DISPLAY1", {1920, 1080}}};
constexpr uint64_t kBase = 104857600, kLargeAllowance = 838860800;

// A microphone that records a 1 kHz tone in real time (48 kHz stereo float); the step
// whose code is `failCode` fails.
class ToneBackend : public IAudioCaptureBackend {
public:
    explicit ToneBackend(int failCode) : m_fail(failCode) {}
    int32_t Fail(int code) const { return m_fail == code ? int32_t(0x88890004u) : 0; }
    int32_t CoInit() override { return Fail(15); }
    int32_t CreateEnumerator() override { return Fail(16); }
    int32_t GetDefaultEndpoint(int, int) override { return Fail(17); }
    int32_t Activate() override { return Fail(18); }
    int32_t GetMixFormat(CvxWaveFormat& f) override {
        f = StereoFloat48k();
        return Fail(19);
    }
    int32_t IsFormatSupported(bool& hasClosest, CvxWaveFormat&) override {
        hasClosest = false;
        return 0;
    }
    int32_t Initialize(uint32_t, int64_t, bool) override { return Fail(20); }
    int32_t GetCaptureClient() override { return Fail(21); }
    int32_t GetClock() override { return Fail(22); }
    int32_t SetMmcss() override { return Fail(23); }
    int32_t Start() override {
        m_start = MonotonicTicks();
        return Fail(24);
    }
    int32_t GetPosition() override { return 0; }
    int32_t GetBufferSize(uint32_t& frames) override {
        frames = 4800;
        return 0;
    }
    int32_t GetNextPacketSize(uint32_t& frames) override {
        const int64_t available = (MonotonicTicks() - m_start) * 48000 / 10000000 - int64_t(m_delivered);
        frames = available >= 480 ? 480 : 0;
        return 0;
    }
    int32_t GetBuffer(const uint8_t*& data, uint32_t& frames, uint32_t& flags, uint64_t& position) override {
        frames = 480;
        m_buffer.resize(frames * 2);
        for (uint32_t i = 0; i < frames; ++i) {
            const float v = float(0.4 * std::sin(2 * 3.14159265358979 * 1000.0 * double(m_delivered + i) / 48000.0));
            m_buffer[i * 2] = m_buffer[i * 2 + 1] = v;
        }
        data = reinterpret_cast<const uint8_t*>(m_buffer.data());
        flags = 0;
        position = uint64_t(m_start) + m_delivered * 10000000 / 48000;
        return 0;
    }
    int32_t ReleaseBuffer(uint32_t frames) override {
        m_delivered += frames;
        return 0;
    }
    void Release(AudioStep) override {}

private:
    int m_fail;
    int64_t m_start = 0;
    uint64_t m_delivered = 0;
    std::vector<float> m_buffer;
};

// The machine for the recording thread: fake readers (frames stamped by the counter),
// a fake or the real writer, the tone microphone, real time.
class FakeRecorderPlatform : public IRecorderPlatform {
public:
    FakeReaderWorld world;
    ScreenshotSessions sessions{world.Factory(), [] { return kOne; }, CvxVideoModeGdi};
    PortableRecordSessions recordSessions{sessions, [] { return int(CvxVideoModeGdi); }};
    int32_t coInitResult = 0;
    uint32_t cpus = 8;
    std::string brand = "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz";
    bool brandThrows = false;
    bool screenThrows = false;
    uint64_t workingSetAtStart = 50000000;
    uint64_t workingSetLater = 50000000;
    int workingSetCalls = 0;
    std::shared_ptr<FakeWriterRecord> record = std::make_shared<FakeWriterRecord>();
    bool realWriter = false;
    int32_t writerFailure = 0;   // the writer cannot be created
    int audioFailCode = 0;
    std::function<void()> onCoInit;
    int coUninits = 0;

    FakeRecorderPlatform() {
        world.reads[CvxVideoModeGdi] = FakeRead::Image;
        world.fill[CvxVideoModeGdi] = 5;
        world.time = 0;   // frames are stamped by the loop
    }
    int32_t CoInit() override {
        if (onCoInit) onCoInit();
        return coInitResult;
    }
    void CoUninit() override { ++coUninits; }
    uint32_t ProcessorCount() override { return cpus; }
    std::string ProcessorBrand() override {
        if (brandThrows) throw std::runtime_error("no brand");
        return brand;
    }
    bool WorkingSet(uint64_t& bytes) override {
        bytes = workingSetCalls++ == 0 ? workingSetAtStart : workingSetLater;
        return true;
    }
    CvxRect VirtualScreen() override {
        if (screenThrows) throw std::runtime_error("no screen");
        return CvxRect{0, 0, 64, 48};
    }
    IRecordSessions& Sessions() override { return recordSessions; }
    MediaWriterFactory PlatformWriter() override { return nullptr; }
    MediaWriterFactory BuiltinWriter() override {
        if (realWriter) return BuiltinMediaWriterFactory();
        auto record = this->record;
        const int32_t failure = writerFailure;
        return [record, failure](const std::wstring&, int32_t& hr) -> std::unique_ptr<IMediaFileWriter> {
            if (failure) {
                hr = failure;
                return nullptr;
            }
            return std::make_unique<FakeMediaWriter>(record);
        };
    }
    AudioBackendFactory AudioBackend() override {
        const int fail = audioFailCode;
        return [fail] { return std::make_unique<ToneBackend>(fail); };
    }
    RecordLoopPlatform LoopPlatform() override {
        RecordLoopPlatform p;
        p.now = MonotonicTicks;
        p.qpc = [] { return uint64_t(MonotonicTicks()); };
        p.sleep = [this](int ms) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            // A moving picture: the level changes every pass.
            world.fill[CvxVideoModeGdi] = uint8_t(world.fill[CvxVideoModeGdi] + 3);
        };
        return p;
    }
};

// One request with its out-values.
struct Request {
    std::atomic<bool> stop{false}, pause{false}, cancel{false}, finished{true};
    std::atomic<int> measuredFps{0}, errorCode{-1};
    std::atomic<double> recordedMs{0};
    std::atomic<CvxHResult> errorHr{-1};
    int outputSize[2] = {0, 0};
    char cpuInfo[kCpuInfoSize] = {};
    char* errorText = reinterpret_cast<char*>(&errorCode);   // must come back null
    video_record_params_t params;

    explicit Request(CvxRect rect = CvxRect{0, 0, 64, 48}, bool mic = false, const wchar_t* path = L"unused.mp4") {
        params.outputPath = path;
        params.recordMicrophone = mic;
        params.stopFlag = &stop;
        params.pauseFlag = &pause;
        params.cancelFlag = &cancel;
        params.measuredFps = &measuredFps;
        params.recordedMs = &recordedMs;
        params.finishedFlag = &finished;
        params.captureRect = rect;
        params.cpuInfo = cpuInfo;
        params.outputSize = outputSize;
        params.errorCode = &errorCode;
        params.errorHResult = &errorHr;
        params.errorText = &errorText;
    }
    // Stops after `ms` of recorded time and waits for the end; false on a time-out.
    bool RunFor(double ms, double limitMs = 20000) {
        Stopwatch watch;
        watch.Start();
        while (!finished.load() && watch.ElapsedMs() < limitMs) {
            if (recordedMs.load() >= ms) stop = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return finished.load();
    }
};

size_t IndexOf(LogCapture& log, const std::string& line) {
    const auto& lines = log.Lines();
    return size_t(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

TEST(Recorder, ReportsThroughTheRequestAndFinishesLast) {
    auto platform = std::make_shared<FakeRecorderPlatform>();
    platform->cpus = 12;
    Request request(CvxRect{0, 0, 1001, 601});
    bool finishedAtStart = true, activeAtStart = false;
    platform->onCoInit = [&] {
        finishedAtStart = request.finished.load();
        activeAtStart = CvxIsRecordingActive();
    };
    LogCapture log;
    StartRecording(request.params, platform);
    ASSERT_TRUE(request.RunFor(1100));   // the frame rate is published after a second
    log.Lines();   // ends the capture, so that failures below are shown
    EXPECT_FALSE(finishedAtStart);
    EXPECT_TRUE(activeAtStart);
    EXPECT_FALSE(CvxIsRecordingActive());
    EXPECT_EQ(request.errorCode.load(), 0);
    EXPECT_EQ(request.errorHr.load(), 0);
    EXPECT_EQ(request.errorText, nullptr);
    EXPECT_EQ(request.outputSize[0], 1000);
    EXPECT_EQ(request.outputSize[1], 600);
    EXPECT_STREQ(request.cpuInfo, "i7,3.20,12");
    EXPECT_GT(request.measuredFps.load(), 0);
    EXPECT_EQ(platform->record->inputWidth, 1000u);
    EXPECT_EQ(platform->record->inputHeight, 600u);
    EXPECT_EQ(platform->record->video.bitrate, 3200000u);
    EXPECT_EQ(platform->record->video.fps, 25u);
    EXPECT_EQ(platform->record->finalized, 1);
    EXPECT_EQ(platform->coUninits, 1);
    const std::vector<std::string> inOrder = {
        "[cvxcore]:Fast comp detected", "[cvxcore]:Max FPS: 25", "[cvxcore]:in size: 1000x600",
        "[cvxcore]:out size: 1000x600", "[cvxcore]:Bitrate: 3200000", "[cvxcore]:Start record loop",
        "[cvxcore]:Recording releasing", "[cvxcore]:Releasing Microphone", "[cvxcore]:Releasing Sound",
        "[cvxcore]:Releasing Video", "[cvxcore]:Recording finished"};
    for (size_t i = 1; i < inOrder.size(); ++i)
        EXPECT_LT(IndexOf(log, inOrder[i - 1]), IndexOf(log, inOrder[i])) << inOrder[i] << "\n" << log.All();
    EXPECT_EQ(log.Lines().back(), "[cvxcore]:Recording finished");
}

TEST(Recorder, DescriptionThatThrowsGivesQuestionMarks) {
    auto platform = std::make_shared<FakeRecorderPlatform>();
    platform->brandThrows = true;
    platform->cpus = 3;
    Request request;
    LogCapture log;
    StartRecording(request.params, platform);
    ASSERT_TRUE(request.RunFor(100));
    log.Lines();   // ends the capture, so that failures below are shown
    EXPECT_STREQ(request.cpuInfo, "???");
    EXPECT_TRUE(log.Has("[cvxcore]:Slow comp detected"));
    EXPECT_TRUE(log.Has("[cvxcore]:Max FPS: 6"));
    EXPECT_TRUE(log.Has("[cvxcore]:Bitrate: 320000")) << log.All();
}

TEST(Recorder, ComFailureIsErrorOneAndFinishes) {
    auto platform = std::make_shared<FakeRecorderPlatform>();
    platform->coInitResult = int32_t(0x80010106u);
    Request request;
    LogCapture log;
    StartRecording(request.params, platform);
    ASSERT_TRUE(request.RunFor(0));
    log.Lines();   // ends the capture, so that failures below are shown
    EXPECT_EQ(request.errorCode.load(), CvxRecordError_CoInitialize);
    EXPECT_EQ(uint32_t(request.errorHr.load()), 0x80010106u);
    EXPECT_TRUE(log.Has("[cvxcore]:[Failed]:err=1 errEx=0x80010106"));
    EXPECT_FALSE(platform->record->began);
    EXPECT_EQ(platform->coUninits, 0);
    EXPECT_EQ(log.Lines().back(), "[cvxcore]:Recording finished");
}

TEST(Recorder, FailingSetUpStillReleasesInOrder) {
    struct Case {
        const char* what;
        int audioFail;
        int32_t writerFailure;
        int code;
    };
    const Case cases[] = {{"microphone endpoint", 17, 0, 17}, {"writer", 0, int32_t(0x80070005u), 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto platform = std::make_shared<FakeRecorderPlatform>();
        platform->audioFailCode = c.audioFail;
        platform->writerFailure = c.writerFailure;
        Request request(CvxRect{0, 0, 64, 48}, true);
        LogCapture log;
        StartRecording(request.params, platform);
        ASSERT_TRUE(request.RunFor(0));
        log.Lines();   // ends the capture, so that failures below are shown
        EXPECT_EQ(request.errorCode.load(), c.code);
        EXPECT_TRUE(platform->world.built.empty()) << "no session after a failed set-up";
        const std::vector<std::string> inOrder = {"[cvxcore]:Start record loop", "[cvxcore]:Recording releasing",
                                                  "[cvxcore]:Releasing Microphone", "[cvxcore]:Releasing Sound",
                                                  "[cvxcore]:Releasing Video", "[cvxcore]:sink_writer finished",
                                                  "[cvxcore]:Recording finished"};
        for (size_t i = 1; i < inOrder.size(); ++i)
            EXPECT_LT(IndexOf(log, inOrder[i - 1]), IndexOf(log, inOrder[i])) << inOrder[i] << "\n" << log.All();
        if (c.audioFail) {
            // The microphone's thread is waited for before the sound is released.
            const size_t released = IndexOf(log, "[cvxcore]:Audio thread released");
            EXPECT_LT(IndexOf(log, "[cvxcore]:Releasing Microphone"), released);
            EXPECT_LT(released, IndexOf(log, "[cvxcore]:Releasing Sound"));
        }
    }
}

TEST(Recorder, ThrowOnTheRecordingThreadStillFinishes) {
    auto platform = std::make_shared<FakeRecorderPlatform>();
    platform->screenThrows = true;
    Request request(CvxRect{});
    LogCapture log;
    StartRecording(request.params, platform);
    ASSERT_TRUE(request.RunFor(0));
    log.Lines();   // ends the capture, so that failures below are shown
    // Thrown before COM was started: reported as COM's start-up.
    EXPECT_EQ(request.errorCode.load(), CvxRecordError_CoInitialize);
    EXPECT_FALSE(CvxIsRecordingActive());
    EXPECT_TRUE(log.Has("[cvxcore]:Recording thread failed: no screen")) << log.All();
    EXPECT_TRUE(log.Has("[cvxcore]:[Failed]:err=1 errEx=0x8000ffff")) << log.All();
    EXPECT_TRUE(log.Has("[cvxcore]:Releasing Video"));
    EXPECT_EQ(log.Lines().back(), "[cvxcore]:Recording finished");
}

TEST(Recorder, SecondRequestWhileOneRunsIsRefused) {
    auto platform = std::make_shared<FakeRecorderPlatform>();
    Request first;
    LogCapture log;
    StartRecording(first.params, platform);
    while (first.recordedMs.load() < 50) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(CvxIsRecordingActive());

    auto other = std::make_shared<FakeRecorderPlatform>();
    Request second;
    StartRecording(second.params, other);
    // Refused at once, on the caller's thread.
    EXPECT_TRUE(second.finished.load());
    EXPECT_EQ(second.errorCode.load(), CvxRecordError_AlreadyRecording);
    EXPECT_EQ(second.errorText, nullptr);
    EXPECT_FALSE(other->record->began);

    ASSERT_TRUE(first.RunFor(600));   // 25 frames a second
    log.Lines();   // ends the capture, so that failures below are shown
    EXPECT_EQ(first.errorCode.load(), 0);
    EXPECT_EQ(platform->record->finalized, 1);
    EXPECT_GT(platform->record->Stream(kFakeVideoStream).size(), 10u);
    EXPECT_TRUE(log.Has("[cvxcore]:Recording refused: another recording is still running"));

    // Once it has finished, the next one runs.
    Request third;
    StartRecording(third.params, other);
    ASSERT_TRUE(third.RunFor(50));
    log.Lines();   // ends the capture, so that failures below are shown
    EXPECT_EQ(third.errorCode.load(), 0);
    EXPECT_EQ(other->record->finalized, 1);
}

TEST(Recorder, EachRecordingHasItsOwnMemoryCap) {
    // The first recording stays just under its cap, the second sits exactly on its own:
    // a cap carried over from the first recording would let the second one write.
    struct Case {
        uint64_t atStart, later;
        bool over;
    };
    const Case cases[] = {{50000000, kBase + 50000000 + kLargeAllowance - 1, false},
                          {60000000, kBase + 60000000 + kLargeAllowance, true}};
    for (const Case& c : cases) {
        auto platform = std::make_shared<FakeRecorderPlatform>();
        platform->workingSetAtStart = c.atStart;
        platform->workingSetLater = c.later;
        Request request;
        LogCapture log;
        StartRecording(request.params, platform);
        ASSERT_TRUE(request.RunFor(200));
        log.Lines();   // ends the capture, so that failures below are shown
        EXPECT_EQ(log.Has("[cvxcore]:Max memory exceeded..."), c.over) << c.atStart;
        EXPECT_EQ(platform->record->Stream(kFakeVideoStream).empty(), c.over) << c.atStart;
    }
}

bool HaveFfprobe() { return std::system("ffprobe -version >/dev/null 2>&1") == 0; }

TEST(Recorder, ThreeSecondsThroughTheBuiltInWriter) {
    if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe not installed";
    const std::string path = testing::TempDir() + "brivane_recorder_3s_" + std::to_string(getpid()) + ".mp4";
    std::remove(path.c_str());
    const std::wstring wide(path.begin(), path.end());
    auto platform = std::make_shared<FakeRecorderPlatform>();
    platform->realWriter = true;
    Request request(CvxRect{0, 0, 64, 48}, true, wide.c_str());
    std::string lines;
    {
        LogCapture log;
        StartRecording(request.params, platform);
        request.RunFor(3000);
        lines = log.All();
    }
    ASSERT_TRUE(request.finished.load());
    ASSERT_EQ(request.errorCode.load(), 0) << lines;
    const std::string streams = Shell("ffprobe -v error -show_entries stream=codec_name,width,height,sample_rate,channels "
                                      "-of compact=p=0 '" + path + "'");
    EXPECT_NE(streams.find("codec_name=h264|width=64|height=48"), std::string::npos) << streams;
    EXPECT_NE(streams.find("codec_name=aac|sample_rate=48000|channels=2"), std::string::npos) << streams;
    auto streamDuration = [&](const char* stream) {
        return std::atof(Shell(std::string("ffprobe -v error -select_streams ") + stream +
                               " -show_entries stream=duration -of csv=p=0 '" + path + "'")
                             .c_str());
    };
    const double video = streamDuration("v"), audio = streamDuration("a");
    const double format =
        std::atof(Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'").c_str());
    // The file lasts as long as the recorded time: 3 s, or a little more where a loaded
    // machine noticed the stop late. The audio reaches the end of the video; it may run
    // on by what was captured during the last pass.
    const double recorded = request.recordedMs.load() / 1000.0;
    EXPECT_GE(recorded, 3.0);
    EXPECT_NEAR(video, recorded, 0.2);
    EXPECT_GE(audio, video - 0.05);
    EXPECT_LE(audio, recorded + 1.0);
    EXPECT_NEAR(format, 3.0, recorded - 3.0 + 1.0);
    std::remove(path.c_str());
}

}  // namespace
