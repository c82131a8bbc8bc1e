#include <gtest/gtest.h>

#include <vector>

#include "LogCapture.h"
#include "core/video/Mp4Writer.h"

namespace {

constexpr uint64_t kOrigin = 100000000;   // 10 s on the counter
constexpr uint64_t kMs = 10000;

struct Written {
    uint32_t index;
    uint32_t size;
    int64_t time, duration;
};

// A writer that remembers what it was given.
struct FakeLog {
    std::vector<Written> samples;
    std::vector<AudioInputType> audioInputs;
    std::vector<VideoOutputType> videoOutputs;
    int finalized = 0;
};

class FakeWriter : public IMediaFileWriter {
public:
    FakeWriter(FakeLog& log, const char* name) : m_log(log), m_name(name) {}
    const char* Name() const override { return m_name; }
    int32_t AddVideoStream(const VideoOutputType& output, uint32_t& index) override {
        if (refuseVideo) return kWriterNotSupported;
        m_log.videoOutputs.push_back(output);
        index = 7;
        return kWriterOk;
    }
    int32_t SetVideoInputType(uint32_t index, uint32_t, uint32_t, uint32_t) override {
        return index == 7 ? kWriterOk : kWriterInvalidArg;
    }
    int32_t AddAudioStream(const AudioInputType& input, uint32_t& index) override {
        if (refuseAudio) return kWriterNotSupported;
        m_log.audioInputs.push_back(input);
        index = 3;
        return kWriterOk;
    }
    int32_t BeginWriting() override { return kWriterOk; }
    int32_t WriteSample(uint32_t index, const uint8_t*, uint32_t size, int64_t time, int64_t duration) override {
        if (failWrites) return kWriterWriteFault;
        m_log.samples.push_back({index, size, time, duration});
        return kWriterOk;
    }
    int32_t Finalize() override {
        ++m_log.finalized;
        return failFinalize ? kWriterFail : kWriterOk;
    }
    bool refuseVideo = false, refuseAudio = false, failWrites = false, failFinalize = false;

private:
    FakeLog& m_log;
    const char* m_name;
};

CvxWaveFormat FloatFormat(uint16_t channels, uint32_t rate) {
    CvxWaveFormat f;
    f.formatTag = kWaveFormatFloat;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = 32;
    f.blockAlign = uint16_t(4 * channels);
    f.avgBytesPerSec = rate * f.blockAlign;
    return f;
}

audio_data_t StereoChunk(uint64_t start, uint64_t durationMs) {
    return audio_data_t::Silence(start, durationMs * kMs, 8, 48000, 2);
}

class WriterTimelineTest : public testing::Test {
protected:
    void SetUp() override {
        state.writer = std::make_unique<FakeWriter>(log, "fake");
        state.origin = state.lastAudioEnd = kOrigin;
        const CvxWaveFormat f = FloatFormat(2, 48000);
        AddAudioStream(error, state, true, false, &f, nullptr);
        ASSERT_FALSE(error.Failed());
    }
    void Write(const audio_data_t& chunk) { WriteAudioPacket(error, state, 48000, 8, chunk, 0); }

    FakeLog log;
    CvxRecordErrorState error;
    CvxMediaWriterState state;
};

}  // namespace

TEST_F(WriterTimelineTest, GapsOver10MsAreFilledWithSilence) {
    Write(StereoChunk(kOrigin, 100));
    Write(StereoChunk(kOrigin + 120 * kMs, 100));   // 20 ms gap
    Write(StereoChunk(kOrigin + 225 * kMs, 100));   // 5 ms gap
    ASSERT_EQ(log.samples.size(), 4u);
    EXPECT_EQ(log.samples[1].time, int64_t(100 * kMs));
    EXPECT_EQ(log.samples[1].size, 960u * 8);          // 20 ms at 48 kHz stereo float
    EXPECT_EQ(log.samples[2].time, int64_t(120 * kMs));
    EXPECT_EQ(log.samples[3].time, int64_t(225 * kMs));
    for (const Written& w : log.samples) EXPECT_EQ(w.index, 3u);
}

TEST_F(WriterTimelineTest, OverlapsOfATenthOfAMillisecondAreDropped) {
    Write(StereoChunk(kOrigin, 100));
    const uint64_t end = state.lastAudioEnd;
    Write(StereoChunk(end - kMs, 100));     // 1 ms before the end: dropped
    EXPECT_EQ(log.samples.size(), 1u);
    EXPECT_EQ(state.lastAudioEnd, end);
    Write(StereoChunk(end - 500, 100));     // 0.05 ms: kept
    EXPECT_EQ(log.samples.size(), 2u);
}

TEST_F(WriterTimelineTest, SilenceUntilATime) {
    Write(StereoChunk(kOrigin, 100));
    const uint64_t end = state.lastAudioEnd;
    WriteSilenceUntil(error, state, end + 5000);          // 0.5 ms: nothing
    EXPECT_EQ(log.samples.size(), 1u);
    LogCapture capture;
    WriteSilenceUntil(error, state, end + 50 * kMs);
    ASSERT_EQ(log.samples.size(), 2u);
    EXPECT_EQ(log.samples[1].size, 2400u * 8);
    char line[96];
    snprintf(line, sizeof line, "[cvxcore]:apEmpty: %llu-%llu", (unsigned long long)(end - kOrigin),
             (unsigned long long)(end - kOrigin + 50 * kMs));
    EXPECT_TRUE(capture.Has(line)) << capture.All();
}

TEST_F(WriterTimelineTest, MonoPacketsGoInAsStereo) {
    audio_data_t mono = audio_data_t::Silence(kOrigin, 10 * kMs, 4, 48000, 1);
    Write(mono);
    ASSERT_EQ(log.samples.size(), 1u);
    EXPECT_EQ(log.samples[0].size, 480u * 8);
}

TEST_F(WriterTimelineTest, NothingHappensOnceAnErrorIsRecorded) {
    static_cast<FakeWriter*>(state.writer.get())->failWrites = true;
    LogCapture capture;
    Write(StereoChunk(kOrigin, 100));
    EXPECT_EQ(error.code.load(), CvxRecordError_WriteAudio);
    EXPECT_TRUE(capture.Has("[cvxcore]:[Failed]:err=14 errEx=0x8007001d"));
    static_cast<FakeWriter*>(state.writer.get())->failWrites = false;
    Write(StereoChunk(kOrigin, 100));
    const uint8_t frame[16] = {};
    WriteVideoFrame(error, state, frame, sizeof frame, 0);
    EXPECT_TRUE(log.samples.empty());
    FinalizeSinkWriter(state);   // still closes the file
    EXPECT_EQ(log.finalized, 1);
    EXPECT_FALSE(state.writer);
}

TEST(WriterAudioStreamTest, FormatRules) {
    struct Case {
        const char* name;
        CvxWaveFormat sound, mic;
        int code;
        int32_t hr;
    };
    CvxWaveFormat cbSize = FloatFormat(2, 48000);
    cbSize.cbSize = 22;
    CvxWaveFormat pcm = FloatFormat(2, 48000);
    pcm.formatTag = kWaveFormatPcm;
    CvxWaveFormat bits = FloatFormat(2, 48000);
    bits.bitsPerSample = 16;
    CvxWaveFormat align = FloatFormat(2, 48000);
    align.blockAlign = 12;
    CvxWaveFormat rate = FloatFormat(2, 48000);
    rate.samplesPerSec = 44100;
    CvxWaveFormat bytes = FloatFormat(2, 48000);
    bytes.avgBytesPerSec = 1000;
    const Case cases[] = {
        {"stereo with mono", FloatFormat(2, 48000), FloatFormat(1, 48000), 0, 0},
        {"cbSize only", FloatFormat(2, 48000), cbSize, 0, 0},
        {"44.1 against 48 kHz", FloatFormat(2, 44100), FloatFormat(2, 48000), 4, 192},
        {"tag", FloatFormat(2, 48000), pcm, 4, 4},
        {"bits", FloatFormat(2, 48000), bits, 4, 8},
        {"block alignment", FloatFormat(2, 48000), align, 4, 16},
        {"rate", FloatFormat(2, 48000), rate, 4, 64},
        {"byte rate", FloatFormat(2, 48000), bytes, 4, 128},
        {"channels and alignment out of proportion", FloatFormat(2, 48000),
         [] { CvxWaveFormat f = FloatFormat(1, 48000); f.blockAlign = 6; return f; }(), 4, 32 | 16 | 128},
    };
    for (const Case& c : cases) {
        FakeLog log;
        CvxRecordErrorState error;
        CvxMediaWriterState state;
        state.writer = std::make_unique<FakeWriter>(log, "fake");
        AddAudioStream(error, state, true, true, &c.sound, &c.mic);
        EXPECT_EQ(error.code.load(), c.code) << c.name;
        EXPECT_EQ(error.hresult.load(), c.hr) << c.name;
        if (c.code == 0) {
            ASSERT_EQ(log.audioInputs.size(), 1u) << c.name;
            EXPECT_EQ(log.audioInputs[0].channels, 2) << c.name;
        }
    }
}

TEST(WriterAudioStreamTest, InputTypeAndMissingFormats) {
    struct Case {
        const char* name;
        CvxWaveFormat format;
        int code;
        bool isFloat;
    };
    CvxWaveFormat six = FloatFormat(6, 48000);
    CvxWaveFormat extPcm = FloatFormat(2, 48000);
    extPcm.formatTag = kWaveFormatExtensible;
    extPcm.subFormat = kWaveFormatPcm;
    extPcm.bitsPerSample = 16;
    extPcm.blockAlign = 4;
    CvxWaveFormat extFloat = FloatFormat(2, 48000);
    extFloat.formatTag = kWaveFormatExtensible;
    extFloat.subFormat = kWaveFormatFloat;
    CvxWaveFormat extOther = extFloat;
    extOther.subFormat = 0;
    CvxWaveFormat adpcm = FloatFormat(2, 48000);
    adpcm.formatTag = 2;
    const Case cases[] = {
        {"six channels", six, 0, true},
        {"extensible PCM", extPcm, 0, false},
        {"extensible float", extFloat, 0, true},
        {"extensible other", extOther, 5, true},
        {"ADPCM", adpcm, 5, true},
    };
    for (const Case& c : cases) {
        FakeLog log;
        CvxRecordErrorState error;
        CvxMediaWriterState state;
        state.writer = std::make_unique<FakeWriter>(log, "fake");
        LogCapture capture;
        AddAudioStream(error, state, true, false, &c.format, nullptr);
        EXPECT_EQ(error.code.load(), c.code) << c.name;
        if (c.code != 0) continue;
        ASSERT_EQ(log.audioInputs.size(), 1u);
        const AudioInputType& in = log.audioInputs[0];
        EXPECT_EQ(in.isFloat, c.isFloat) << c.name;
        EXPECT_EQ(in.channels, 2) << c.name;
        EXPECT_EQ(in.blockAlign, c.format.bitsPerSample / 8 * 2) << c.name;
        EXPECT_EQ(in.avgBytesPerSec, 48000u * in.blockAlign) << c.name;
        char line[64];
        snprintf(line, sizeof line, "[cvxcore]:Stream: %d,2,48,%d,%d", c.isFloat ? 0 : 1, in.blockAlign,
                 int(48 * in.blockAlign));
        EXPECT_TRUE(capture.Has(line)) << c.name << "\n" << capture.All();
    }
    // a recorded source without a format
    const CvxWaveFormat f = FloatFormat(2, 48000);
    for (int missing : {1, 2}) {
        FakeLog log;
        CvxRecordErrorState error;
        CvxMediaWriterState state;
        state.writer = std::make_unique<FakeWriter>(log, "fake");
        AddAudioStream(error, state, true, true, missing == 1 ? nullptr : &f, missing == 2 ? nullptr : &f);
        EXPECT_EQ(error.code.load(), 4);
        EXPECT_EQ(error.hresult.load(), missing);
    }
}

TEST(WriterCreateTest, FallsBackToTheBuiltInWriter) {
    FakeLog platformLog, builtinLog;
    bool platformRefusesAudio = true;
    MediaWriterFactory platform = [&](const std::wstring&, int32_t& hr) -> std::unique_ptr<IMediaFileWriter> {
        auto w = std::make_unique<FakeWriter>(platformLog, "platform");
        w->refuseAudio = platformRefusesAudio;
        hr = kWriterOk;
        return w;
    };
    MediaWriterFactory builtin = [&](const std::wstring&, int32_t& hr) -> std::unique_ptr<IMediaFileWriter> {
        hr = kWriterOk;
        return std::make_unique<FakeWriter>(builtinLog, "builtin");
    };
    CvxRecordErrorState error;
    CvxMediaWriterState state;
    state.origin = state.lastAudioEnd = kOrigin;
    LogCapture capture;
    CreateSinkWriter(error, state, L"x.mp4", platform, builtin);
    AddVideoStream(error, state, {640, 360, 30, 960000});
    SetVideoInputType(error, state, 1280, 720, 30);
    const CvxWaveFormat f = FloatFormat(2, 48000);
    AddAudioStream(error, state, true, false, &f, nullptr);
    EXPECT_FALSE(error.Failed());
    EXPECT_STREQ(state.writer->Name(), "builtin");
    // the video stream was set up again on the built-in writer
    EXPECT_EQ(builtinLog.videoOutputs.size(), 1u);
    EXPECT_EQ(builtinLog.audioInputs.size(), 1u);
    BeginWriting(error, state);
    const uint8_t frame[16] = {};
    WriteVideoFrame(error, state, frame, sizeof frame, 5);
    WriteAudioPacket(error, state, 48000, 8, StereoChunk(kOrigin, 10), 0);
    ASSERT_EQ(builtinLog.samples.size(), 2u);
    EXPECT_EQ(builtinLog.samples[0].index, 7u);
    EXPECT_EQ(builtinLog.samples[1].index, 3u);
    EXPECT_TRUE(platformLog.samples.empty());
    EXPECT_EQ(capture.Count("[cvxcore]:Media Foundation refused the stream (0xc00d36b4): built-in MP4 writer takes over"),
              1u)
        << capture.All();
}

TEST(WriterCreateTest, ErrorTwoWhenNeitherCanCreateTheFile) {
    MediaWriterFactory refuse = [](const std::wstring&, int32_t& hr) -> std::unique_ptr<IMediaFileWriter> {
        hr = int32_t(0x80070057u);
        return nullptr;
    };
    CvxRecordErrorState error;
    CvxMediaWriterState state;
    LogCapture capture;
    CreateSinkWriter(error, state, L"/no/such/dir/x.mp4", refuse, BuiltinMediaWriterFactory());
    EXPECT_EQ(error.code.load(), 2);
    EXPECT_FALSE(state.writer);
    EXPECT_TRUE(capture.Has("[cvxcore]:[Failed]:err=2 errEx=0x80070003")) << capture.All();
    // later steps do nothing
    AddVideoStream(error, state, {640, 360, 30, 960000});
    EXPECT_EQ(error.code.load(), 2);
}

TEST(WriterCreateTest, AFailingFinalizeIsOnlyLogged) {
    FakeLog log;
    CvxMediaWriterState state;
    auto writer = std::make_unique<FakeWriter>(log, "fake");
    writer->failFinalize = true;
    state.writer = std::move(writer);
    LogCapture capture;
    FinalizeSinkWriter(state);
    EXPECT_TRUE(capture.Has("[cvxcore]:Releasing media container"));
    EXPECT_TRUE(capture.Has("[cvxcore]:Failed to Finalize Sync Writer 0x80004005 "));
    EXPECT_TRUE(capture.Has("[cvxcore]:sink_writer finished"));
}
