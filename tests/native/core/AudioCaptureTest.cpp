#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "LogCapture.h"
#include "ManualClock.h"
#include "RecordFakes.h"
#include "core/video/AudioCapture.h"

namespace {

constexpr uint64_t kOrigin = 500000000;
constexpr uint64_t kMs = 10000;

struct Packet {
    uint64_t position;
    uint32_t frames;
    bool silent = false;
};

// A device driven by the test: a step that fails, packets to hand out.
struct FakeDevice {
    std::mutex mutex;
    int failStep = 0;            // error code whose step fails (15..29, 31)
    int32_t failHr = int32_t(0x88890004u);
    int32_t supported = 0;       // IsFormatSupported result
    bool hasClosest = false;
    CvxWaveFormat mix, closest;
    std::vector<Packet> packets;   // handed out in order
    std::vector<AudioStep> released;
    std::vector<uint8_t> data = std::vector<uint8_t>(48000 * 8, 0x11);
    bool initializedWithClosest = false;
};

class FakeBackend : public IAudioCaptureBackend {
public:
    explicit FakeBackend(FakeDevice& d) : m(d) {}
    int32_t Fail(int code) const { return m.failStep == code ? m.failHr : 0; }
    int32_t CoInit() override { return Fail(15); }
    int32_t CreateEnumerator() override { return Fail(16); }
    int32_t GetDefaultEndpoint(int, int) override { return Fail(17); }
    int32_t Activate() override { return Fail(18); }
    int32_t GetMixFormat(CvxWaveFormat& f) override {
        f = m.mix;
        return Fail(19);
    }
    int32_t IsFormatSupported(bool& hasClosest, CvxWaveFormat& closest) override {
        hasClosest = m.hasClosest;
        closest = m.closest;
        return m.supported;
    }
    int32_t Initialize(uint32_t, int64_t, bool useClosest) override {
        m.initializedWithClosest = useClosest;
        return Fail(20);
    }
    int32_t GetCaptureClient() override { return Fail(21); }
    int32_t GetClock() override { return Fail(22); }
    int32_t SetMmcss() override { return Fail(23); }
    int32_t Start() override { return Fail(24); }
    int32_t GetPosition() override { return Fail(25); }
    int32_t GetBufferSize(uint32_t& frames) override {
        frames = 4800;   // 100 ms: a 2 ms poll
        return Fail(26);
    }
    int32_t GetNextPacketSize(uint32_t& frames) override {
        std::lock_guard<std::mutex> lock(m.mutex);
        frames = m.packets.empty() ? 0 : m.packets.front().frames;
        return Fail(27);
    }
    int32_t GetBuffer(const uint8_t*& data, uint32_t& frames, uint32_t& flags, uint64_t& position) override {
        std::lock_guard<std::mutex> lock(m.mutex);
        const Packet p = m.packets.front();
        data = m.data.data();
        frames = p.frames;
        flags = p.silent ? kAudioBufferSilent : 0;
        position = p.position;
        return Fail(28);
    }
    int32_t ReleaseBuffer(uint32_t) override {
        std::lock_guard<std::mutex> lock(m.mutex);
        m.packets.erase(m.packets.begin());
        return Fail(29);
    }
    void Release(AudioStep step) override { m.released.push_back(step); }

private:
    FakeDevice& m;
};

class AudioCaptureTest : public testing::Test {
protected:
    void SetUp() override {
        device.mix = StereoFloat48k();
        context.error = &error;
        context.errorFlag = &errorFlag;
        context.goFlag = &go;
        context.stopFlag = &stop;
        context.pauseFlag = &pause;
        context.mixer = &mixerSlot;
        context.backend = [this] { return std::make_unique<FakeBackend>(device); };
        context.clock = clock.Source();
        mixerSlot = &mixer;
    }
    void Finish(AudioSourceState*& slot) {
        stop = true;
        ReleaseAudioCapture(slot);
    }
    static void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    std::vector<audio_data_t> Drain() {
        std::vector<audio_data_t> out;
        for (audio_data_t p = mixer.GetNextPacket(true); p.IsValid(); p = mixer.GetNextPacket(true)) out.push_back(p);
        return out;
    }

    FakeDevice device;
    ManualClock clock;
    CvxRecordErrorState error;
    std::atomic<bool> errorFlag{false}, go{false}, stop{false}, pause{false};
    AudioMixer mixer{kOrigin, clock.Source()};
    std::atomic<AudioMixer*> mixerSlot{nullptr};
    AudioCaptureContext context;
};

}  // namespace

TEST_F(AudioCaptureTest, ChunksCarryThePacketPositionAndNothingBeforeTheOrigin) {
    device.packets = {{kOrigin - 100 * kMs, 480}, {kOrigin, 480}, {kOrigin + 10 * kMs, 960, true}};
    AudioSourceState* slot = nullptr;
    LogCapture log;
    StartMicrophoneCapture(slot, true, context);
    ASSERT_TRUE(slot && slot->started.load());
    go = true;
    for (int i = 0; i < 500 && !device.packets.empty(); ++i) Wait(2);
    Finish(slot);
    const std::vector<audio_data_t> packets = Drain();
    ASSERT_EQ(packets.size(), 1u);   // the two after the origin, joined
    EXPECT_EQ(packets[0].startTime, kOrigin);
    EXPECT_EQ(packets[0].Frames(), 480u + 960u);
    EXPECT_EQ(packets[0].data[0], 0x11);
    EXPECT_EQ(packets[0].data[480 * 8], 0);   // the silent packet is zeros
    EXPECT_TRUE(log.Has("[cvxcore]:Record microphone..."));
    EXPECT_TRUE(log.Has("[cvxcore]:T-0x0: Audio Capture thread initialized"));
    EXPECT_TRUE(log.Has("[cvxcore]:T-0x0: Audio buffer frames size: 4800"));
    EXPECT_TRUE(log.Has("[cvxcore]:Audio Capture thread stopped reading. Total Read 0 bytes"));
    EXPECT_TRUE(log.Has("[cvxcore]:Waiting audio thread released"));
    EXPECT_TRUE(log.Has("[cvxcore]:Audio thread released"));
    EXPECT_FALSE(error.Failed());
}

TEST_F(AudioCaptureTest, PacketsStampedWithOneTimeFollowEachOther) {
    // Some drivers (Wine's among them) give several packets in a row the same or an early
    // time: their frames still follow each other, none is cut away.
    device.packets = {{kOrigin, 480}, {kOrigin, 480}, {kOrigin + 5 * kMs, 480}, {kOrigin + 40 * kMs, 480}};
    AudioSourceState* slot = nullptr;
    LogCapture log;
    StartMicrophoneCapture(slot, true, context);
    go = true;
    for (int i = 0; i < 500 && !device.packets.empty(); ++i) Wait(2);
    Finish(slot);
    const std::vector<audio_data_t> packets = Drain();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].startTime, kOrigin);
    EXPECT_EQ(packets[0].Frames(), 4u * 480);
}

TEST_F(AudioCaptureTest, LatePacketsAfterSilenceAreNotCountedTwice) {
    AudioSourceState* slot = nullptr;
    StartMicrophoneCapture(slot, true, context);
    go = true;
    Wait(20);
    clock.AdvanceMs(60);   // quiet: 60 ms of silence go in
    Wait(20);
    {
        // Then the device hands over what it held back: 80 ms from the origin on.
        std::lock_guard<std::mutex> lock(device.mutex);
        for (uint64_t ms = 0; ms < 80; ms += 10) device.packets.push_back({kOrigin + ms * kMs, 480});
    }
    for (int i = 0; i < 500; ++i) {
        {
            std::lock_guard<std::mutex> lock(device.mutex);
            if (device.packets.empty()) break;
        }
        Wait(2);
    }
    Finish(slot);
    uint32_t frames = 0;
    uint64_t end = 0;
    for (const audio_data_t& p : Drain()) {
        frames += p.Frames();
        end = p.End();
    }
    EXPECT_EQ(frames, 48u * 80) << "80 ms, not 60 ms of silence plus 80 ms of packets";
    EXPECT_NEAR(double(end), double(kOrigin + 80 * kMs), 300.0);
}

TEST_F(AudioCaptureTest, SilenceFillsAQuietDeviceButNotWhilePaused) {
    AudioSourceState* slot = nullptr;
    StartSoundCapture(slot, true, context);
    go = true;
    Wait(20);              // the gap timer starts
    clock.AdvanceMs(60);   // 60 ms without packets
    Wait(20);
    std::vector<audio_data_t> packets = Drain();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].startTime, kOrigin);
    EXPECT_EQ(packets[0].Frames(), 48u * 60);
    for (uint32_t i = 0; i < packets[0].size; ++i) ASSERT_EQ(packets[0].data[i], 0);

    pause = true;
    {
        std::lock_guard<std::mutex> lock(device.mutex);
        device.packets = {{kOrigin + 60 * kMs, 480}};
    }
    Wait(20);
    clock.AdvanceMs(80);
    Wait(20);
    Finish(slot);
    EXPECT_TRUE(Drain().empty());   // paused: neither sound nor silence
}

TEST_F(AudioCaptureTest, EachFailingStepGivesItsCodeAndReleasesInReverse) {
    using S = AudioStep;
    struct Case { int code; std::vector<AudioStep> released; };
    const Case cases[] = {
        {15, {}},
        {16, {S::CoInit}},
        {17, {S::Enumerator, S::CoInit}},
        {18, {S::Device, S::Enumerator, S::CoInit}},
        {19, {S::Client, S::Device, S::Enumerator, S::CoInit}},
        {20, {S::MixFormat, S::Client, S::Device, S::Enumerator, S::CoInit}},
        {21, {S::MixFormat, S::Client, S::Device, S::Enumerator, S::CoInit}},
        {22, {S::CaptureClient, S::MixFormat, S::Client, S::Device, S::Enumerator, S::CoInit}},
        {23, {S::Clock, S::CaptureClient, S::MixFormat, S::Client, S::Device, S::Enumerator, S::CoInit}},
        {24, {S::Mmcss, S::Clock, S::CaptureClient, S::MixFormat, S::Client, S::Device, S::Enumerator, S::CoInit}},
        {25, {S::Started, S::Mmcss, S::Clock, S::CaptureClient, S::MixFormat, S::Client, S::Device, S::Enumerator,
              S::CoInit}},
    };
    for (const Case& c : cases) {
        FakeDevice d;
        d.mix = StereoFloat48k();
        d.failStep = c.code;
        CvxRecordErrorState e;
        std::atomic<bool> flag{false}, goNow{true}, stopNot{false}, pauseNot{false};
        e.errorFlag = &flag;
        AudioCaptureContext ctx = context;
        ctx.error = &e;
        ctx.errorFlag = &flag;
        ctx.goFlag = &goNow;
        ctx.stopFlag = &stopNot;
        ctx.pauseFlag = &pauseNot;
        ctx.backend = [&d] { return std::make_unique<FakeBackend>(d); };
        AudioSourceState state;
        LogCapture log;
        AudioCaptureThread(1, &state, kAudioFlowCapture, kAudioRoleCommunications, 0, ctx, nullptr);
        EXPECT_EQ(e.code.load(), c.code);
        EXPECT_EQ(uint32_t(e.hresult.load()), 0x88890004u);
        EXPECT_TRUE(flag.load());
        EXPECT_EQ(d.released, c.released) << c.code;
        EXPECT_TRUE(state.finished.load());
        EXPECT_EQ(state.started.load(), c.code >= 25);
    }
}

TEST_F(AudioCaptureTest, TheClosestFormatIsTheOneKept) {
    device.supported = kAudioHrFalse;
    device.hasClosest = true;
    device.closest = StereoFloat48k();
    device.closest.samplesPerSec = 44100;
    device.closest.avgBytesPerSec = 44100 * 8;
    stop = true;   // as the device check: open, report, stop
    AudioSourceState state;
    CvxWaveFormat copy;
    LogCapture log;
    AudioCaptureThread(0, &state, kAudioFlowRender, kAudioRoleConsole, kAudioStreamLoopback, context, &copy);
    EXPECT_TRUE(state.started.load());
    EXPECT_TRUE(device.initializedWithClosest);
    EXPECT_EQ(copy.samplesPerSec, 44100u);
    EXPECT_EQ(state.format.samplesPerSec, 44100u);
    EXPECT_TRUE(log.Has("[cvxcore]:Closest audio stream format found"));
    EXPECT_TRUE(log.Has("[cvxcore]:T-0x0: Audio Capture thread stop"));

    // S_FALSE without a closest format, and a plain failure: 31
    for (int32_t hr : {kAudioHrFalse, int32_t(0x88890008u)}) {
        FakeDevice d;
        d.mix = StereoFloat48k();
        d.supported = hr;
        CvxRecordErrorState e;
        AudioCaptureContext ctx = context;
        ctx.error = &e;
        ctx.backend = [&d] { return std::make_unique<FakeBackend>(d); };
        AudioSourceState s;
        AudioCaptureThread(0, &s, kAudioFlowRender, kAudioRoleConsole, 0, ctx, nullptr);
        EXPECT_EQ(e.code.load(), 31);
        EXPECT_EQ(e.hresult.load(), hr);
    }
}

TEST_F(AudioCaptureTest, ReleasingASourceThatNeverStartedWaitsForItsThread) {
    device.failStep = 17;
    AudioSourceState* slot = nullptr;
    ASSERT_TRUE(StartAudioCaptureThread(1, slot, kAudioFlowCapture, kAudioRoleCommunications, 0, context));
    WaitAudioCaptureStart(slot, error);
    ReleaseAudioCapture(slot);   // returns only after the thread's last step
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(error.code.load(), 17);
    EXPECT_EQ(device.released.size(), 2u);
}

TEST_F(AudioCaptureTest, ALatePacketDoesNotRepeatTimeCoveredBySilence) {
    AudioSourceState* slot = nullptr;
    StartSoundCapture(slot, true, context);
    go = true;
    Wait(20);
    clock.AdvanceMs(60);   // 60 ms of silence from the origin
    Wait(20);
    {
        std::lock_guard<std::mutex> lock(device.mutex);
        device.packets = {{kOrigin + 30 * kMs, 2880}};   // 30..90 ms
    }
    for (int i = 0; i < 500; ++i) {
        {
            std::lock_guard<std::mutex> lock(device.mutex);
            if (device.packets.empty()) break;
        }
        Wait(2);
    }
    Finish(slot);
    const std::vector<audio_data_t> packets = Drain();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].startTime, kOrigin);
    EXPECT_NEAR(double(packets[0].Duration()), 90.0 * kMs, 300.0);   // not 120 ms
    EXPECT_EQ(packets[0].data[packets[0].size - 1], 0x11);
}
