#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/video/AudioMixer.h"
#include "LogCapture.h"
#include "ManualClock.h"

namespace {

constexpr uint64_t kT0 = 50000000;   // 5 s on the counter
constexpr uint64_t kMs = 10000;

// A float chunk of `frames` frames whose sample (frame i, channel c) is base + i + c/10.
audio_data_t FloatChunk(uint64_t start, uint32_t frames, uint16_t channels, float base,
                        uint32_t rate = 48000) {
    std::vector<float> samples(size_t(frames) * channels);
    for (uint32_t i = 0; i < frames; ++i)
        for (uint16_t c = 0; c < channels; ++c) samples[size_t(i) * channels + c] = base + float(i) + c / 10.0f;
    return audio_data_t::Copy(start, samples.data(), uint32_t(samples.size() * 4), uint16_t(channels * 4), rate,
                              channels);
}

float FloatAt(const audio_data_t& chunk, uint32_t frame, uint16_t channel) {
    float v;
    EXPECT_LT(size_t(frame) * chunk.blockAlign + channel * 4u + 4u, size_t(chunk.size) + 1);
    std::memcpy(&v, chunk.data.get() + size_t(frame) * chunk.blockAlign + channel * 4, 4);
    return v;
}

int16_t IntAt(const audio_data_t& chunk, uint32_t frame, uint16_t channel) {
    int16_t v;
    std::memcpy(&v, chunk.data.get() + size_t(frame) * chunk.blockAlign + channel * 2, 2);
    return v;
}

}  // namespace

TEST(AudioDataTest, DerivedValues) {
    audio_data_t empty;
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(empty.Duration(), 0u);

    audio_data_t second = FloatChunk(kT0, 48000, 2, 0);
    EXPECT_TRUE(second.IsValid());
    EXPECT_EQ(second.Frames(), 48000u);
    EXPECT_NEAR(double(second.Duration()), 10000000.0, 2.0);
    EXPECT_EQ(second.End(), kT0 + second.Duration());

    // a size below one frame has no duration
    audio_data_t partial = audio_data_t::Copy(kT0, nullptr, 4, 8, 48000, 2);
    EXPECT_FALSE(partial.IsValid());

    // copies share the bytes
    audio_data_t copy = second;
    EXPECT_EQ(copy.data.get(), second.data.get());
}

TEST(AudioDataTest, SilenceCountsFramesExactly) {
    struct Case { uint64_t duration; uint32_t rate; uint32_t frames; };
    const Case cases[] = {
        {20 * kMs, 48000, 960}, {20 * kMs, 44100, 882}, {10000000, 44100, 44100}, {100, 48000, 0},
    };
    for (const Case& c : cases) {
        audio_data_t s = audio_data_t::Silence(kT0, c.duration, 8, c.rate, 2);
        EXPECT_EQ(s.Frames(), c.frames) << c.duration << " at " << c.rate;
        EXPECT_EQ(s.IsValid(), c.frames != 0);
        for (uint32_t i = 0; i < s.size; ++i) ASSERT_EQ(s.data[i], 0);
    }
}

TEST(AudioDataTest, ConcatKeepsFirstStartAndFormat) {
    audio_data_t a = FloatChunk(kT0, 10, 2, 0), b = FloatChunk(kT0 + 999 * kMs, 5, 2, 100);
    audio_data_t ab = audio_data_t::Concat(a, b);
    EXPECT_EQ(ab.startTime, kT0);
    EXPECT_EQ(ab.Frames(), 15u);
    EXPECT_FLOAT_EQ(FloatAt(ab, 9, 1), 9.1f);
    EXPECT_FLOAT_EQ(FloatAt(ab, 10, 0), 100.0f);
}

TEST(AudioDataTest, HeadAndTail) {
    const audio_data_t chunk = FloatChunk(kT0, 480, 2, 0);   // 10 ms
    const double fd = 10000000.0 / 48000;
    struct Case { const char* name; bool head; uint64_t at; int64_t frames; uint64_t start; float first; };
    const Case cases[] = {
        {"head half", true, kT0 + 5 * kMs, 240, kT0, 0.0f},
        {"head before first whole frame", true, kT0 + 100, -1, 0, 0},
        {"head before start", true, kT0 - 5 * kMs, -1, 0, 0},
        {"head past end keeps all", true, kT0 + 50 * kMs, 480, kT0, 0.0f},
        {"tail half", false, kT0 + 5 * kMs, 240, kT0 + 5 * kMs, 240.0f},
        {"tail at end", false, chunk.End(), -1, 0, 0},
        {"tail after end", false, chunk.End() + kMs, -1, 0, 0},
        {"tail before start is everything", false, kT0 - kMs, 480, kT0, 0.0f},
        {"tail inside last frame", false, kT0 + uint64_t(479 * fd) + 10, 1, kT0 + uint64_t(479 * fd) + 10, 479.0f},
    };
    for (const Case& c : cases) {
        audio_data_t part = c.head ? chunk.Head(c.at) : chunk.Tail(c.at);
        if (c.frames < 0) {
            EXPECT_FALSE(part.IsValid()) << c.name;
            continue;
        }
        ASSERT_TRUE(part.IsValid()) << c.name;
        EXPECT_EQ(part.Frames(), uint32_t(c.frames)) << c.name;
        EXPECT_EQ(part.startTime, c.start) << c.name;
        EXPECT_FLOAT_EQ(FloatAt(part, 0, 0), c.first) << c.name;
    }
}

TEST(AudioDataTest, ToStereo) {
    audio_data_t mono = FloatChunk(kT0, 3, 1, 1);
    EXPECT_EQ(mono.ToStereo(), 2);
    EXPECT_EQ(mono.blockAlign, 8);
    EXPECT_EQ(mono.size, 24u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(FloatAt(mono, i, 0), 1.0f + i);
        EXPECT_FLOAT_EQ(FloatAt(mono, i, 1), 1.0f + i);
    }
    audio_data_t six = FloatChunk(kT0, 4, 6, 0);
    EXPECT_EQ(six.ToStereo(), 2);
    EXPECT_EQ(six.size, 4u * 8);
    EXPECT_FLOAT_EQ(FloatAt(six, 3, 1), 3.1f);

    audio_data_t stereo = FloatChunk(kT0, 4, 2, 0);
    const uint8_t* before = stereo.data.get();
    EXPECT_EQ(stereo.ToStereo(), 2);
    EXPECT_EQ(stereo.data.get(), before);

    audio_data_t invalid;
    EXPECT_EQ(invalid.ToStereo(), 0);
}

TEST(AudioDataTest, Overlaps) {
    struct Case { uint64_t aStart; uint32_t aFrames; uint64_t bStart; uint32_t bFrames; bool overlaps; };
    const uint64_t tenMs = 10 * kMs;
    const Case cases[] = {
        {kT0, 480, kT0, 480, true},
        {kT0, 480, kT0 + tenMs - 2000, 480, true},     // 0.2 ms
        {kT0, 480, kT0 + tenMs - 500, 480, false},     // 0.05 ms
        {kT0 + tenMs - 500, 480, kT0, 480, false},     // either order
        {kT0, 480, kT0 + 2 * tenMs, 480, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Overlaps(FloatChunk(c.aStart, c.aFrames, 2, 0), FloatChunk(c.bStart, c.bFrames, 2, 0)), c.overlaps)
            << c.aStart << " " << c.bStart;
    }
}

TEST(AudioDataTest, MixFloatSumsFromTheEarlierStart) {
    // b starts 10 frames after a
    const double fd = 10000000.0 / 48000;
    audio_data_t a = FloatChunk(kT0, 100, 2, 0);
    audio_data_t b = FloatChunk(kT0 + uint64_t(10 * fd) + 1, 100, 2, 1000);
    audio_data_t mixed = Mix(b, a);
    ASSERT_TRUE(mixed.IsValid());
    EXPECT_EQ(mixed.mixed, 1u);
    EXPECT_EQ(mixed.startTime, kT0);
    EXPECT_EQ(mixed.Frames(), 110u);
    EXPECT_FLOAT_EQ(FloatAt(mixed, 5, 1), 5.1f);                      // a alone
    EXPECT_FLOAT_EQ(FloatAt(mixed, 10, 0), 10.0f + 1000.0f);          // sum
    EXPECT_FLOAT_EQ(FloatAt(mixed, 99, 1), 99.1f + 1089.1f);
    EXPECT_FLOAT_EQ(FloatAt(mixed, 109, 0), 1099.0f);                 // b alone
}

TEST(AudioDataTest, MixInt16Saturates) {
    const int16_t aSamples[] = {30000, -30000, 100, -100};
    const int16_t bSamples[] = {10000, -10000, 23, 32767};
    audio_data_t a = audio_data_t::Copy(kT0, aSamples, sizeof aSamples, 4, 48000, 2, AudioSampleType::Int);
    audio_data_t b = audio_data_t::Copy(kT0, bSamples, sizeof bSamples, 4, 48000, 2, AudioSampleType::Int);
    // two frames of 20.8 us do not overlap by 0.1 ms: make them longer
    std::vector<int16_t> longA, longB;
    for (int i = 0; i < 100; ++i) {
        longA.insert(longA.end(), std::begin(aSamples), std::end(aSamples));
        longB.insert(longB.end(), std::begin(bSamples), std::end(bSamples));
    }
    a = audio_data_t::Copy(kT0, longA.data(), uint32_t(longA.size() * 2), 4, 48000, 2, AudioSampleType::Int);
    b = audio_data_t::Copy(kT0, longB.data(), uint32_t(longB.size() * 2), 4, 48000, 2, AudioSampleType::Int);
    audio_data_t mixed = Mix(a, b);
    ASSERT_TRUE(mixed.IsValid());
    ASSERT_EQ(mixed.size, a.size);
    EXPECT_EQ(IntAt(mixed, 0, 0), 32767);
    EXPECT_EQ(IntAt(mixed, 0, 1), -32768);
    EXPECT_EQ(IntAt(mixed, 1, 0), 123);
    EXPECT_EQ(IntAt(mixed, 199, 1), 32667);

    // an integer and a float chunk are not added
    EXPECT_FALSE(Mix(a, FloatChunk(kT0, 200, 1, 0)).IsValid());
}

class AudioMixerTest : public testing::Test {
protected:
    ManualClock clock;
    AudioMixer mixer{kT0, clock.Source()};
};

TEST_F(AudioMixerTest, GateOpensOnceASecondUnlessForced) {
    mixer.Push(0, FloatChunk(kT0, 480, 2, 0));
    EXPECT_FALSE(mixer.GetNextPacket(false).IsValid());   // first call starts the gate
    clock.AdvanceMs(999);
    EXPECT_FALSE(mixer.GetNextPacket(false).IsValid());
    clock.AdvanceMs(1);
    EXPECT_TRUE(mixer.GetNextPacket(false).IsValid());
    mixer.Push(0, FloatChunk(kT0 + 20 * kMs, 480, 2, 0));
    EXPECT_TRUE(mixer.GetNextPacket(true).IsValid());
}

TEST_F(AudioMixerTest, MonoMicrophoneAndStereoSoundGiveOneStereoPacketOfSums) {
    mixer.Push(0, FloatChunk(kT0, 48000, 2, 0));
    mixer.Push(1, FloatChunk(kT0, 48000, 1, 0.5f));
    audio_data_t packet = mixer.GetNextPacket(true);
    ASSERT_TRUE(packet.IsValid());
    EXPECT_EQ(packet.channels, 2);
    EXPECT_EQ(packet.Frames(), 48000u);
    EXPECT_EQ(packet.startTime, kT0);
    EXPECT_FLOAT_EQ(FloatAt(packet, 7, 0), 7.0f + 7.5f);
    EXPECT_FLOAT_EQ(FloatAt(packet, 7, 1), 7.1f + 7.5f);
    EXPECT_FALSE(mixer.GetNextPacket(true).IsValid());
}

TEST_F(AudioMixerTest, LongerSoundSendsItsRestToTheNextPacket) {
    mixer.Push(0, FloatChunk(kT0, 48000 + 2400, 2, 0));   // 1.05 s
    mixer.Push(1, FloatChunk(kT0, 48000, 1, 0));          // 1 s
    audio_data_t first = mixer.GetNextPacket(true);
    ASSERT_TRUE(first.IsValid());
    EXPECT_EQ(first.Frames(), 48000u);
    audio_data_t second = mixer.GetNextPacket(true);
    ASSERT_TRUE(second.IsValid());
    EXPECT_EQ(second.Frames(), 2400u);
    EXPECT_NEAR(double(second.startTime), double(first.End()), 1000.0);
    EXPECT_FLOAT_EQ(FloatAt(second, 0, 0), 48000.0f);   // sound alone, from where the first stopped
}

TEST_F(AudioMixerTest, LateMicrophoneGivesSoundAloneFirst) {
    mixer.Push(0, FloatChunk(kT0, 4800, 2, 0));                     // 100 ms
    mixer.Push(1, FloatChunk(kT0 + 10 * kMs, 4320, 1, 10000));      // 10..100 ms
    audio_data_t packet = mixer.GetNextPacket(true);
    ASSERT_TRUE(packet.IsValid());
    EXPECT_EQ(packet.startTime, kT0);
    EXPECT_EQ(packet.Frames(), 4800u);
    EXPECT_FLOAT_EQ(FloatAt(packet, 479, 0), 479.0f);               // first 10 ms: sound only
    EXPECT_FLOAT_EQ(FloatAt(packet, 480, 0), 480.0f + 10000.0f);
}

TEST_F(AudioMixerTest, SingleSourcePassesUnchanged) {
    for (int queue : {0, 1}) {
        AudioMixer single(kT0, clock.Source());
        audio_data_t chunk = FloatChunk(kT0, 960, 2, 3);
        single.Push(queue, chunk);
        audio_data_t packet = single.GetNextPacket(true);
        ASSERT_TRUE(packet.IsValid());
        EXPECT_EQ(packet.size, chunk.size);
        EXPECT_EQ(packet.mixed, 0u);
        EXPECT_EQ(std::memcmp(packet.data.get(), chunk.data.get(), chunk.size), 0);
    }
    // one mono source stays mono here: the writer makes every packet stereo
    AudioMixer mono(kT0, clock.Source());
    mono.Push(1, FloatChunk(kT0, 960, 1, 3));
    EXPECT_EQ(mono.GetNextPacket(true).channels, 1);
}

TEST_F(AudioMixerTest, ChunksThatDoNotOverlapLoseNothing) {
    mixer.Push(0, FloatChunk(kT0, 4800, 2, 0));
    audio_data_t first = FloatChunk(kT0, 4800, 2, 0);
    mixer.Push(1, FloatChunk(first.End() + 500, 4800, 1, 7));   // 0.05 ms after
    audio_data_t a = mixer.GetNextPacket(true);
    audio_data_t b = mixer.GetNextPacket(true);
    ASSERT_TRUE(a.IsValid());
    ASSERT_TRUE(b.IsValid());
    EXPECT_EQ(a.startTime, kT0);
    EXPECT_EQ(a.Frames() + b.Frames(), 9600u);
    EXPECT_EQ(b.channels, 2);
    EXPECT_FLOAT_EQ(FloatAt(b, 0, 1), 7.0f);
}

TEST_F(AudioMixerTest, DropsChunksBeforeTheLastPacketAndLogsEmptyPackets) {
    mixer.Push(0, FloatChunk(kT0, 4800, 2, 0));
    audio_data_t first = mixer.GetNextPacket(true);
    ASSERT_TRUE(first.IsValid());
    mixer.Push(0, FloatChunk(kT0 + 50 * kMs, 480, 2, 0));   // inside what was handed out
    LogCapture log;
    EXPECT_FALSE(mixer.GetNextPacket(true).IsValid());
    EXPECT_TRUE(log.Has("[cvxcore]:GetNextPacket Packet: apOut Invalid!"));
}

TEST_F(AudioMixerTest, ChunksBeforeTheOriginNeverOpenAPacket) {
    mixer.Push(0, FloatChunk(kT0 - 20 * kMs, 480, 2, 0));
    mixer.Push(0, FloatChunk(kT0, 480, 2, 0));
    audio_data_t packet = mixer.GetNextPacket(true);
    ASSERT_TRUE(packet.IsValid());
    EXPECT_EQ(packet.startTime, kT0);
}
