#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Mp4Boxes.h"
#include "ShellOutput.h"
#include "core/video/Encoders.h"
#include "core/video/MediaFileWriter.h"
#include "core/video/Mp4Muxer.h"
#include "foundation/Utf.h"

namespace {

constexpr int64_t kMs = 10000;

std::string TempPath(const std::string& name) { return testing::TempDir() + "brivane_" + name; }

bool HaveFfmpeg() { return std::system("ffprobe -version >/dev/null 2>&1 && ffmpeg -version >/dev/null 2>&1") == 0; }

// 320x240 bottom-up BGRA: top half red, bottom half blue.
std::vector<uint8_t> RedOverBlue(uint32_t w, uint32_t h) {
    std::vector<uint8_t> frame(size_t(w) * h * 4);
    for (uint32_t row = 0; row < h; ++row) {
        const bool top = row >= h / 2;   // bottom-up: the last rows are the top of the picture
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = &frame[(size_t(row) * w + x) * 4];
            p[0] = top ? 0 : 255;
            p[1] = 0;
            p[2] = top ? 255 : 0;
            p[3] = 0;
        }
    }
    return frame;
}

std::vector<float> Tone(uint32_t rate, double seconds, double hz, size_t from = 0) {
    std::vector<float> s(size_t(rate * seconds));
    for (size_t i = 0; i < s.size(); ++i) s[i] = float(0.5 * std::sin(2 * 3.14159265358979323846 * hz * double(i + from) / rate));
    return s;
}

struct WriterRun {
    std::unique_ptr<IMediaFileWriter> writer;
    uint32_t video = 0, audio = 0;
};

void Start(WriterRun& run, bool withAudio = true) {
    ASSERT_TRUE(run.writer);
    ASSERT_EQ(run.writer->AddVideoStream({160, 120, 30, 640000}, run.video), kWriterOk);
    ASSERT_EQ(run.writer->SetVideoInputType(run.video, 320, 240, 30), kWriterOk);
    if (withAudio) {
        AudioInputType mono;
        mono.isFloat = true;
        mono.channels = 1;
        mono.samplesPerSec = 44100;
        mono.blockAlign = 4;
        mono.avgBytesPerSec = 44100 * 4;
        mono.bitsPerSample = 32;
        ASSERT_EQ(run.writer->AddAudioStream(mono, run.audio), kWriterOk);
    }
    ASSERT_EQ(run.writer->BeginWriting(), kWriterOk);
}

// Three seconds at 30 fps with a 1 kHz tone in packets of 100 ms.
void WriteThreeSeconds(WriterRun& run, bool withAudio = true) {
    const std::vector<uint8_t> frame = RedOverBlue(320, 240);
    const std::vector<float> tone = Tone(44100, 3.0, 1000.0);
    for (int i = 0; i < 90; ++i) {
        const int64_t t = int64_t(i) * 10000000 / 30;
        ASSERT_EQ(run.writer->WriteSample(run.video, frame.data(), uint32_t(frame.size()), t, -1), kWriterOk);
        if (withAudio && i % 3 == 0) {
            const size_t first = size_t(i / 3) * 4410;
            ASSERT_EQ(run.writer->WriteSample(run.audio, reinterpret_cast<const uint8_t*>(&tone[first]), 4410 * 4,
                                              int64_t(i / 3) * 100 * kMs, 100 * kMs),
                      kWriterOk);
        }
    }
}

const Mp4Box* TrackOf(const Mp4Box& root, const char* handler) {
    const Mp4Box* moov = root.Find("moov");
    if (!moov) return nullptr;
    for (const Mp4Box* trak : moov->All("trak")) {
        const Mp4Box* hdlr = trak->Find("mdia/hdlr");
        if (hdlr && std::string(hdlr->payload.begin() + 8, hdlr->payload.begin() + 12) == handler) return trak;
    }
    return nullptr;
}

bool PayloadHas(const Mp4Box* box, const char* text) {
    if (!box) return false;
    const std::string s(box->payload.begin(), box->payload.end());
    return s.find(text) != std::string::npos;
}

}  // namespace

TEST(BuiltinWriterTest, ThreeSecondsOfScaledVideoAndResampledTone) {
    const std::string path = TempPath("three.mp4");
    int32_t hr = -1;
    WriterRun run{CreateBuiltinMediaWriter(Utf8ToWide(path), hr)};
    ASSERT_EQ(hr, kWriterOk);
    Start(run);
    WriteThreeSeconds(run);
    ASSERT_EQ(run.writer->Finalize(), kWriterOk);

    Mp4Box root;
    ASSERT_TRUE(ReadMp4File(path, root));
    ASSERT_GE(root.children.size(), 3u);
    EXPECT_EQ(root.children[0].type, "ftyp");
    EXPECT_EQ(root.children[1].type, "mdat");
    const Mp4Box* video = TrackOf(root, "vide");
    const Mp4Box* audio = TrackOf(root, "soun");
    ASSERT_TRUE(video && audio);
    EXPECT_TRUE(PayloadHas(video->Find("mdia/minf/stbl/stsd"), "avcC"));
    EXPECT_TRUE(PayloadHas(audio->Find("mdia/minf/stbl/stsd"), "esds"));
    const Mp4Box* stsd = audio->Find("mdia/minf/stbl/stsd");
    const std::string esds(stsd->payload.begin(), stsd->payload.end());
    EXPECT_NE(esds.find(std::string("\x05\x02\x11\x90", 4)), std::string::npos);   // AAC-LC 48000 stereo
    const Mp4Box* stsz = video->Find("mdia/minf/stbl/stsz");
    ASSERT_TRUE(stsz);
    EXPECT_EQ(stsz->U32At(8), 90u);
    const Mp4Box* stss = video->Find("mdia/minf/stbl/stss");
    ASSERT_TRUE(stss);
    EXPECT_GE(stss->U32At(4), 1u);
    EXPECT_EQ(stss->U32At(8), 1u);   // the first frame is a key frame
    EXPECT_TRUE(video->Find("mdia/minf/stbl/stco"));
    EXPECT_FALSE(video->Find("mdia/minf/stbl/co64"));
    EXPECT_FALSE(video->Find("edts"));   // starts at the origin
    // the sound's one edit skips the encoder's priming and presents the 3 s that came in
    const Mp4Box* elst = audio->Find("edts/elst");
    ASSERT_TRUE(elst);
    EXPECT_EQ(elst->U32At(4), 1u);
    EXPECT_EQ(elst->U32At(8), 3000u);
    EXPECT_EQ(elst->U32At(12), AacEncoder::kDelaySamples);
    const Mp4Box* mdhd = audio->Find("mdia/mdhd");
    ASSERT_TRUE(mdhd);
    EXPECT_GE(mdhd->U32At(16), 3u * 48000 + AacEncoder::kDelaySamples);   // every input sample is encoded
    // each frame rolls back one frame to decode whole
    const Mp4Box* sgpd = audio->Find("mdia/minf/stbl/sgpd");
    const Mp4Box* sbgp = audio->Find("mdia/minf/stbl/sbgp");
    ASSERT_TRUE(sgpd && sbgp);
    EXPECT_EQ(std::string(sgpd->payload.begin() + 4, sgpd->payload.begin() + 8), "roll");
    EXPECT_EQ(sgpd->payload.size(), 18u);
    EXPECT_EQ(sgpd->payload[16] << 8 | sgpd->payload[17], 0xFFFF);
    EXPECT_EQ(sbgp->U32At(12), audio->Find("mdia/minf/stbl/stsz")->U32At(8));

    if (!HaveFfmpeg()) GTEST_SKIP() << "ffprobe not installed";
    const std::string streams = Shell("ffprobe -v error -show_entries stream=codec_name,width,height,avg_frame_rate,"
                                    "sample_rate,channels -of csv=p=0 '" + path + "'");
    EXPECT_NE(streams.find("h264,160,120,30/1"), std::string::npos) << streams;
    EXPECT_NE(streams.find("aac,48000,2"), std::string::npos) << streams;
    const double duration = std::atof(
        Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'").c_str());
    EXPECT_NEAR(duration, 3.0, 0.1);
    const std::string audioTimes = Shell("ffprobe -v error -select_streams a -show_entries stream=start_time,duration "
                                         "-of csv=p=0 '" + path + "'");
    double audioStart = -1, audioDuration = -1;
    ASSERT_EQ(std::sscanf(audioTimes.c_str(), "%lf,%lf", &audioStart, &audioDuration), 2) << audioTimes;
    EXPECT_EQ(audioStart, 0.0);
    EXPECT_NEAR(audioDuration, 3.0, 0.002);

    // picture at 1 s: red in the top half, blue in the bottom half
    const std::string rgb = Shell("ffmpeg -v error -ss 1 -i '" + path + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(rgb.size(), 160u * 120 * 3);
    auto pixel = [&](int x, int y) { return reinterpret_cast<const uint8_t*>(&rgb[(size_t(y) * 160 + x) * 3]); };
    const uint8_t* top = pixel(80, 30);
    const uint8_t* bottom = pixel(80, 90);
    EXPECT_GT(top[0], 200);
    EXPECT_LT(top[2], 60);
    EXPECT_LT(bottom[0], 60);
    EXPECT_GT(bottom[2], 200);

    // the tone: zero crossings of the decoded sound over one second in the middle
    const std::string pcm = Shell("ffmpeg -v error -i '" + path + "' -f s16le -ac 1 -ar 48000 -");
    ASSERT_GE(pcm.size(), size_t(48000) * 2 * 2);
    const int16_t* s = reinterpret_cast<const int16_t*>(pcm.data()) + 48000;
    int crossings = 0;
    for (int i = 1; i < 48000; ++i) crossings += (s[i - 1] < 0) != (s[i] < 0);
    EXPECT_NEAR(crossings / 2.0, 1000.0, 20.0);
}

// A packet of one second whose sound begins half way: decoded, it is heard half a second
// after the packet's time, whatever the input rate (the encoder's priming is skipped, the
// resampler adds no delay), also when the sound starts after the picture.
TEST(BuiltinWriterTest, SoundLinesUpWithThePicture) {
    const struct { uint32_t rate; uint32_t startMs; } cases[] = {{48000, 0}, {44100, 0}, {48000, 250}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz from " << c.startMs << " ms");
        const uint32_t rate = c.rate;
        const std::string path = TempPath("sync.mp4");
        int32_t hr = -1;
        WriterRun run{CreateBuiltinMediaWriter(Utf8ToWide(path), hr)};
        ASSERT_TRUE(run.writer);
        ASSERT_EQ(run.writer->AddVideoStream({160, 120, 30, 640000}, run.video), kWriterOk);
        ASSERT_EQ(run.writer->SetVideoInputType(run.video, 320, 240, 30), kWriterOk);
        AudioInputType mono;
        mono.isFloat = true;
        mono.channels = 1;
        mono.samplesPerSec = rate;
        mono.blockAlign = 4;
        mono.avgBytesPerSec = rate * 4;
        mono.bitsPerSample = 32;
        ASSERT_EQ(run.writer->AddAudioStream(mono, run.audio), kWriterOk);
        ASSERT_EQ(run.writer->BeginWriting(), kWriterOk);
        const std::vector<uint8_t> frame = RedOverBlue(320, 240);
        for (int i = 0; i < 30; ++i)
            ASSERT_EQ(run.writer->WriteSample(run.video, frame.data(), uint32_t(frame.size()), int64_t(i) * 333333, -1),
                      kWriterOk);
        std::vector<float> sound(rate, 0.0f);
        for (size_t i = rate / 2; i < sound.size(); ++i) sound[i] = 0.5f * float((i / 24) % 2 ? 1 : -1);
        ASSERT_EQ(run.writer->WriteSample(run.audio, reinterpret_cast<const uint8_t*>(sound.data()),
                                          uint32_t(sound.size() * 4), int64_t(c.startMs) * kMs, 10000000),
                  kWriterOk);
        ASSERT_EQ(run.writer->Finalize(), kWriterOk);
        // an empty edit for a late start, then the edit that skips the priming
        Mp4Box root;
        ASSERT_TRUE(ReadMp4File(path, root));
        const Mp4Box* audio = TrackOf(root, "soun");
        ASSERT_TRUE(audio);
        const Mp4Box* elst = audio->Find("edts/elst");
        ASSERT_TRUE(elst);
        const size_t media = c.startMs ? 2 : 1;
        ASSERT_EQ(elst->U32At(4), media);
        if (c.startMs) {
            EXPECT_EQ(elst->U32At(8), c.startMs);
            EXPECT_EQ(elst->U32At(12), 0xFFFFFFFFu);
        }
        EXPECT_EQ(elst->U32At(8 + (media - 1) * 12), 1000u);
        EXPECT_EQ(elst->U32At(12 + (media - 1) * 12), AacEncoder::kDelaySamples);
        if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
        const std::string pcm = Shell("ffmpeg -v error -i '" + path + "' -map 0:a -f s16le -ac 1 -ar 48000 -");
        const int16_t* s = reinterpret_cast<const int16_t*>(pcm.data());
        const size_t n = pcm.size() / 2;
        const double start = std::atof(Shell("ffprobe -v error -select_streams a -show_entries stream=start_time "
                                             "-of csv=p=0 '" + path + "'").c_str());
        EXPECT_NEAR(start, c.startMs / 1000.0, 0.0005);
        // one second with no priming in front (the decoder keeps the last frame whole, so
        // up to one frame of padding may follow)
        EXPECT_GE(n, 48000u);
        EXPECT_LT(n, 48000u + AacEncoder::kFrameSamples);
        size_t onset = 0;
        while (onset < n && std::abs(s[onset]) < 8000) ++onset;
        EXPECT_NEAR(start + onset / 48000.0, c.startMs / 1000.0 + 0.5, 0.001);
    }
}

TEST(BuiltinWriterTest, IrregularFrameTimesAndALateStartKeepTheirPlace) {
    const std::string path = TempPath("irregular.mp4");
    int32_t hr = -1;
    WriterRun run{CreateBuiltinMediaWriter(Utf8ToWide(path), hr)};
    Start(run, false);
    const std::vector<uint8_t> frame = RedOverBlue(320, 240);
    const int64_t gaps[] = {20, 45, 33, 20, 45, 33};
    int64_t t = 500 * kMs;   // first frame half a second after the origin
    std::vector<int64_t> times;
    for (int64_t gap : gaps) {
        times.push_back(t);
        ASSERT_EQ(run.writer->WriteSample(run.video, frame.data(), uint32_t(frame.size()), t, -1), kWriterOk);
        t += gap * kMs;
    }
    ASSERT_EQ(run.writer->Finalize(), kWriterOk);
    Mp4Box root;
    ASSERT_TRUE(ReadMp4File(path, root));
    const Mp4Box* video = TrackOf(root, "vide");
    ASSERT_TRUE(video);
    const Mp4Box* elst = video->Find("edts/elst");
    ASSERT_TRUE(elst);
    EXPECT_EQ(elst->U32At(4), 2u);
    EXPECT_EQ(elst->U32At(8), 500u);          // empty edit of 500 ms
    EXPECT_EQ(elst->U32At(12), 0xFFFFFFFFu);

    if (!HaveFfmpeg()) GTEST_SKIP() << "ffprobe not installed";
    const std::string pts = Shell("ffprobe -v error -select_streams v -show_entries packet=pts_time -of csv=p=0 '" +
                                path + "'");
    std::vector<double> seen;
    for (const char* p = pts.c_str(); *p;) {
        seen.push_back(std::atof(p));
        p = std::strchr(p, '\n');
        if (!p) break;
        ++p;
    }
    ASSERT_GE(seen.size(), times.size());
    std::sort(seen.begin(), seen.end());
    for (size_t i = 0; i < times.size(); ++i) EXPECT_NEAR(seen[i], times[i] / 1e7, 0.001) << i;
}

namespace {

// A file that refuses one write.
class FailingOutput : public IMuxOutput {
public:
    FailingOutput(std::unique_ptr<IMuxOutput> inner, int failAt) : m_inner(std::move(inner)), m_failAt(failAt) {}
    bool Write(const void* data, size_t size) override {
        if (++m_writes == m_failAt) return false;
        return m_inner->Write(data, size);
    }
    bool WriteAt(uint64_t offset, const void* data, size_t size) override { return m_inner->WriteAt(offset, data, size); }
    bool SeekTo(uint64_t offset) override { return m_inner->SeekTo(offset); }
    bool Close() override { return m_inner->Close(); }

private:
    std::unique_ptr<IMuxOutput> m_inner;
    int m_failAt, m_writes = 0;
};

}  // namespace

TEST(BuiltinWriterTest, AWriteFailureStillLeavesAReadableFile) {
    const std::string path = TempPath("failing.mp4");
    WriterRun run{CreateBuiltinMediaWriter(std::make_unique<FailingOutput>(OpenMuxFile(path), 40))};
    Start(run);
    const std::vector<uint8_t> frame = RedOverBlue(320, 240);
    int written = 0;
    int32_t failure = kWriterOk;
    for (int i = 0; i < 60 && failure == kWriterOk; ++i) {
        failure = run.writer->WriteSample(run.video, frame.data(), uint32_t(frame.size()), int64_t(i) * 333333, -1);
        if (failure == kWriterOk) ++written;
    }
    EXPECT_NE(failure, kWriterOk);
    EXPECT_EQ(run.writer->WriteSample(run.video, frame.data(), uint32_t(frame.size()), 60 * 333333, -1),
              kWriterWriteFault);
    EXPECT_EQ(run.writer->Finalize(), kWriterWriteFault);   // reported, but the index is written
    Mp4Box root;
    ASSERT_TRUE(ReadMp4File(path, root));
    const Mp4Box* video = TrackOf(root, "vide");
    ASSERT_TRUE(video);
    EXPECT_EQ(int(video->Find("mdia/minf/stbl/stsz")->U32At(8)), written);
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffprobe not installed";
    const std::string frames = Shell("ffprobe -v error -count_frames -select_streams v -show_entries "
                                   "stream=nb_read_frames -of csv=p=0 '" + path + "'");
    EXPECT_EQ(std::atoi(frames.c_str()), written) << frames;
}

TEST(BuiltinWriterTest, FinalizeWithoutSamplesGivesAnEmptyValidFile) {
    const std::string path = TempPath("empty.mp4");
    int32_t hr = -1;
    WriterRun run{CreateBuiltinMediaWriter(Utf8ToWide(path), hr)};
    Start(run);
    EXPECT_EQ(run.writer->Finalize(), kWriterOk);
    Mp4Box root;
    ASSERT_TRUE(ReadMp4File(path, root));
    EXPECT_TRUE(root.Find("moov/mvhd"));
}

TEST(BuiltinWriterTest, AMissingFolderCannotBeCreated) {
    int32_t hr = 0;
    EXPECT_FALSE(CreateBuiltinMediaWriter(L"/no/such/dir/x.mp4", hr));
    EXPECT_NE(hr, kWriterOk);
}

TEST(BuiltinWriterTest, OffsetsPastFourGigabytesUse64BitBoxes) {
    const std::string path = TempPath("large.mp4");
    const uint64_t start = (uint64_t(4) << 30) + (uint64_t(512) << 20);
    WriterRun run{CreateBuiltinMediaWriter(OpenMuxFile(path), start)};
    Start(run);
    const std::vector<uint8_t> frame = RedOverBlue(320, 240);
    const std::vector<float> tone = Tone(44100, 0.5, 1000.0);
    for (int i = 0; i < 15; ++i)
        ASSERT_EQ(run.writer->WriteSample(run.video, frame.data(), uint32_t(frame.size()), int64_t(i) * 333333, -1),
                  kWriterOk);
    ASSERT_EQ(run.writer->WriteSample(run.audio, reinterpret_cast<const uint8_t*>(tone.data()),
                                      uint32_t(tone.size() * 4), 0, 5000000),
              kWriterOk);
    ASSERT_EQ(run.writer->Finalize(), kWriterOk);
    Mp4Box root;
    ASSERT_TRUE(ReadMp4File(path, root));
    ASSERT_GE(root.children.size(), 2u);
    EXPECT_EQ(root.children[1].type, "mdat");
    EXPECT_EQ(root.children[1].header, 16u);
    EXPECT_GT(root.children[1].size, uint64_t(UINT32_MAX));
    const Mp4Box* video = TrackOf(root, "vide");
    ASSERT_TRUE(video);
    EXPECT_TRUE(video->Find("mdia/minf/stbl/co64"));
    if (HaveFfmpeg()) {
        const std::string frames = Shell("ffprobe -v error -count_frames -select_streams v -show_entries "
                                       "stream=nb_read_frames -of csv=p=0 '" + path + "'");
        EXPECT_EQ(std::atoi(frames.c_str()), 15) << frames;
    }
    std::remove(path.c_str());
}

// The encoder's messages reach our log and never stderr: the program reopens stderr on its
// console, where under Wine every small write is a round trip to the console host, and
// the encoder's warnings there used to hold up each recording's start by over a second.
TEST(BuiltinWriterTest, EncoderMessagesGoToTheLogNotToStderr) {
    struct Case {
        const char* what;
        H264Encoder::Params params;
        bool created;
    } cases[] = {
        // The recorder's own settings (the encoder warns about some of them).
        {"400x300 screen content", {400, 300, 25, 960000}, true},
        {"1280x720 screen content", {1280, 720, 30, 3200000}, true},
        // A size the encoder refuses: its error message lands in the log.
        {"no picture", {0, 0, 25, 960000}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        const bool created = H264Encoder::Create(c.params) != nullptr;
        const std::string log = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(created, c.created);
        EXPECT_EQ(err, "");
        if (!c.created) {
            // The encoder's own text, beside our refusal line.
            size_t lines = 0;
            for (size_t at = log.find("[cvxcore]:h264: "); at != std::string::npos;
                 at = log.find("[cvxcore]:h264: ", at + 1))
                ++lines;
            EXPECT_GE(lines, 2u) << log;
            EXPECT_NE(log.find("encoder refused 0x0"), std::string::npos) << log;
        }
    }
}
