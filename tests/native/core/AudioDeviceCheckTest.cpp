#include <gtest/gtest.h>

#include "LogCapture.h"
#include "core/video/AudioDeviceCheck.h"

namespace {

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

// A device per data flow: its format, or the step that fails.
struct Devices {
    CvxWaveFormat sound, mic;
    int soundFails = 0, micFails = 0;   // 17: no endpoint
    int32_t hr = int32_t(0x80070490u);
};

class DeviceBackend : public IAudioCaptureBackend {
public:
    explicit DeviceBackend(const Devices& d) : m_d(d) {}
    int32_t CoInit() override { return 0; }
    int32_t CreateEnumerator() override { return 0; }
    int32_t GetDefaultEndpoint(int flow, int) override {
        m_render = flow == kAudioFlowRender;
        return (m_render ? m_d.soundFails : m_d.micFails) == 17 ? m_d.hr : 0;
    }
    int32_t Activate() override { return 0; }
    int32_t GetMixFormat(CvxWaveFormat& f) override {
        f = m_render ? m_d.sound : m_d.mic;
        return 0;
    }
    int32_t IsFormatSupported(bool& c, CvxWaveFormat&) override {
        c = false;
        return 0;
    }
    int32_t Initialize(uint32_t, int64_t, bool) override { return 0; }
    int32_t GetCaptureClient() override { return (m_render ? m_d.soundFails : m_d.micFails) == 21 ? m_d.hr : 0; }
    int32_t GetClock() override { return 0; }
    int32_t SetMmcss() override { return 0; }
    int32_t Start() override { return 0; }
    int32_t GetPosition() override { return 0; }
    int32_t GetBufferSize(uint32_t& f) override { return f = 0, 0; }
    int32_t GetNextPacketSize(uint32_t& f) override { return f = 0, 0; }
    int32_t GetBuffer(const uint8_t*&, uint32_t&, uint32_t&, uint64_t&) override { return -1; }
    int32_t ReleaseBuffer(uint32_t) override { return 0; }
    void Release(AudioStep) override {}

private:
    const Devices& m_d;
    bool m_render = false;
};

}  // namespace

TEST(AudioDeviceCheckTest, Cases) {
    struct Case {
        const char* name;
        Devices devices;
        bool soundOk, micOk, match;
        std::string text;
    };
    const Case cases[] = {
        {"stereo and mono at 48 kHz", {FloatFormat(2, 48000), FloatFormat(1, 48000)}, true, true, true, ""},
        {"48 against 44.1 kHz", {FloatFormat(2, 48000), FloatFormat(2, 44100)}, true, true, false, "SPSABPS"},
        {"no microphone", {FloatFormat(2, 48000), FloatFormat(2, 44100), 0, 17}, true, false, false,
         "/M-17--2147023728.000000"},
        {"loopback refused", {FloatFormat(2, 48000), FloatFormat(1, 44100), 21, 0, int32_t(0x88890003u)}, false, true,
         false, "A-21--2004287485.000000"},
        {"nothing at all", {FloatFormat(2, 48000), FloatFormat(1, 44100), 17, 17}, false, false, false,
         "A-17--2147023728.000000/M-17--2147023728.000000"},
    };
    for (const Case& c : cases) {
        bool soundOk = true, micOk = true, match = true;
        std::string text = "old";
        CvxAudioFormatSummary mic, sound;
        LogCapture log;
        CvxCheckAudioDevices(soundOk, micOk, match, text, mic, sound,
                             [&] { return std::make_unique<DeviceBackend>(c.devices); });
        EXPECT_EQ(soundOk, c.soundOk) << c.name;
        EXPECT_EQ(micOk, c.micOk) << c.name;
        EXPECT_EQ(match, c.match) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
        if (c.micOk) {
            EXPECT_EQ(mic.sampleRate, c.devices.mic.samplesPerSec) << c.name;
            EXPECT_TRUE(log.Has("[cvxcore]:WFX of microphone:")) << c.name;
            char line[64];
            snprintf(line, sizeof line, "[cvxcore]:\tnSamplesPerSec = %u", c.devices.mic.samplesPerSec);
            EXPECT_TRUE(log.Has(line)) << c.name;
        }
        EXPECT_EQ(log.Has("[cvxcore]:WFX of audio:"), c.soundOk) << c.name;
    }
}

TEST(AudioDeviceCheckTest, TagsFollowTheChannelProportion) {
    struct Case { CvxWaveFormat a, b; const char* tags; };
    CvxWaveFormat pcm16 = FloatFormat(2, 48000);
    pcm16.formatTag = kWaveFormatPcm;
    pcm16.bitsPerSample = 16;
    pcm16.blockAlign = 4;
    pcm16.avgBytesPerSec = 192000;
    CvxWaveFormat odd = FloatFormat(1, 48000);
    odd.blockAlign = 6;
    odd.avgBytesPerSec = 288000;
    const Case cases[] = {
        {FloatFormat(2, 48000), FloatFormat(1, 48000), ""},
        {FloatFormat(6, 48000), FloatFormat(2, 48000), ""},
        {FloatFormat(2, 48000), pcm16, "FTBPSBAABPS"},
        {FloatFormat(2, 48000), odd, "BAABPS"},
        {FloatFormat(2, 44100), FloatFormat(2, 48000), "SPSABPS"},
    };
    for (const Case& c : cases) EXPECT_EQ(WaveFormatMismatchTags(c.a, c.b), c.tags);
}
