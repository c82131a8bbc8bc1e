#include <gtest/gtest.h>

#include <windows.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "../../native/core/LogCapture.h"
#include "../../native/core/Mp4Boxes.h"
#include "core/QpcTime.h"
#include "core/video/AudioDeviceCheck.h"
#include "core/video/MfMediaWriter.h"
#include "core/video/Mp4Writer.h"
#include "foundation/Utf.h"

namespace {

bool PulseRunning() { return GetEnvironmentVariableW(L"BRIVANE_PULSE", nullptr, 0) > 0; }

std::wstring TempFile(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

struct MfSession {
    MfSession() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        MFStartup(MF_VERSION, MFSTARTUP_FULL);
    }
    ~MfSession() {
        MFShutdown();
        CoUninitialize();
    }
};

// 320x240 bottom-up frames, top half red, bottom half blue.
std::vector<uint8_t> RedOverBlue() {
    std::vector<uint8_t> frame(320 * 240 * 4);
    for (int row = 0; row < 240; ++row)
        for (int x = 0; x < 320; ++x) {
            uint8_t* p = &frame[(row * 320 + x) * 4];
            const bool top = row >= 120;
            p[0] = top ? 0 : 255;
            p[2] = top ? 255 : 0;
        }
    return frame;
}

}  // namespace

// Media Foundation has no MP4 sink here: the recording falls back to our own writer and
// the file comes out whole. tests/wine/core/check_writer_file.py runs this test with
// BRIVANE_WRITER_TEST_OUT naming the file, and then looks at it with ffprobe and ffmpeg.
TEST(AudioWin, WriterFallsBackToTheBuiltInBackEnd) {
    MfSession mf;
    wchar_t given[MAX_PATH] = {};
    const DWORD givenLength = GetEnvironmentVariableW(L"BRIVANE_WRITER_TEST_OUT", given, MAX_PATH);
    const std::wstring path =
        givenLength > 0 && givenLength < MAX_PATH ? std::wstring(given) : TempFile(L"brivane_writer_test.mp4");
    DeleteFileW(path.c_str());
    CvxRecordErrorState error;
    CvxMediaWriterState state;
    state.origin = state.lastAudioEnd = 1000000000;
    LogCapture log;
    CreateSinkWriter(error, state, path, PlatformMediaWriterFactory(), BuiltinMediaWriterFactory());
    CvxWaveFormat mono;
    mono.formatTag = kWaveFormatFloat;
    mono.channels = 1;
    mono.samplesPerSec = 44100;
    mono.bitsPerSample = 32;
    mono.blockAlign = 4;
    mono.avgBytesPerSec = 44100 * 4;
    AddAudioStream(error, state, false, true, nullptr, &mono);
    AddVideoStream(error, state, {160, 120, 30, 640000});
    SetVideoInputType(error, state, 320, 240, 30);
    BeginWriting(error, state);
    ASSERT_FALSE(error.Failed()) << log.All();
    const std::vector<uint8_t> frame = RedOverBlue();
    std::vector<float> tone(44100 * 3);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = float(0.5 * std::sin(2 * 3.14159265358979323846 * 1000.0 * double(i) / 44100));
    for (int i = 0; i < 90; ++i) {
        WriteVideoFrame(error, state, frame.data(), frame.size(), uint64_t(i) * 10000000 / 30);
        if (i % 30 == 0) {
            audio_data_t second = audio_data_t::Copy(state.origin + uint64_t(i / 30) * 10000000, &tone[size_t(i / 30) * 44100],
                                                     44100 * 4, 4, 44100, 1);
            WriteAudioPacket(error, state, 44100, 8, second, 0);
        }
    }
    FinalizeSinkWriter(state);
    EXPECT_FALSE(error.Failed());
    EXPECT_NE(log.All().find("[cvxcore]:Media Foundation cannot write the file (0x"), std::string::npos) << log.All();
    EXPECT_NE(log.All().find("built-in MP4 writer takes over"), std::string::npos) << log.All();
    Mp4Box root;
    // (the temp folder's and the build folder's names are ASCII)
    char narrow[MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, narrow, MAX_PATH, nullptr, nullptr);
    ASSERT_TRUE(ReadMp4File(narrow, root));
    const Mp4Box* moov = root.Find("moov");
    ASSERT_TRUE(moov);
    EXPECT_EQ(moov->All("trak").size(), 2u);
}

TEST(AudioWin, MissingFolderIsErrorTwo) {
    MfSession mf;
    CvxRecordErrorState error;
    CvxMediaWriterState state;
    LogCapture log;
    CreateSinkWriter(error, state, L"Z:\\no\\such\\dir\\x.mp4", PlatformMediaWriterFactory(),
                     BuiltinMediaWriterFactory());
    EXPECT_EQ(error.code.load(), 2);
    EXPECT_NE(log.All().find("[cvxcore]:[Failed]:err=2 errEx=0x"), std::string::npos) << log.All();
}

namespace {

// A sink writer of our own that records what it is told.
class RecordingSinkWriter : public IMFSinkWriter {
public:
    struct Sample { DWORD stream; LONGLONG time, duration; DWORD length; };
    std::vector<IMFMediaType*> outputs, inputs;
    std::vector<Sample> samples;
    LONG refs = 1;
    ~RecordingSinkWriter() {
        for (IMFMediaType* t : outputs) t->Release();
        for (IMFMediaType* t : inputs) t->Release();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == __uuidof(IMFSinkWriter)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&refs)); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(InterlockedDecrement(&refs)); }
    HRESULT STDMETHODCALLTYPE AddStream(IMFMediaType* type, DWORD* index) override {
        type->AddRef();
        outputs.push_back(type);
        *index = DWORD(outputs.size() - 1);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetInputMediaType(DWORD, IMFMediaType* type, IMFAttributes*) override {
        type->AddRef();
        inputs.push_back(type);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE BeginWriting() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE WriteSample(DWORD stream, IMFSample* sample) override {
        Sample s{stream, -1, -1, 0};
        sample->GetSampleTime(&s.time);
        if (FAILED(sample->GetSampleDuration(&s.duration))) s.duration = -1;
        sample->GetTotalLength(&s.length);
        samples.push_back(s);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SendStreamTick(DWORD, LONGLONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PlaceMarker(DWORD, void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NotifyEndOfSegment(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Flush(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Finalize() override { return HRESULT(0xC00D36B2u); }   // MF_E_INVALIDREQUEST
    HRESULT STDMETHODCALLTYPE GetServiceForStream(DWORD, REFGUID, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStatistics(DWORD, MF_SINK_WRITER_STATISTICS*) override { return E_NOTIMPL; }
};

UINT32 U32(IMFMediaType* t, REFGUID key) {
    UINT32 v = 0xFFFFFFFF;
    t->GetUINT32(key, &v);
    return v;
}
GUID Guid(IMFMediaType* t, REFGUID key) {
    GUID g = GUID_NULL;
    t->GetGUID(key, &g);
    return g;
}
std::pair<UINT32, UINT32> Pair(IMFMediaType* t, REFGUID key) {
    UINT64 v = 0;
    t->GetUINT64(key, &v);
    return {UINT32(v >> 32), UINT32(v)};
}

}  // namespace

TEST(AudioWin, MediaFoundationBackEndDescribesItsStreams) {
    MfSession mf;
    RecordingSinkWriter sink;
    CvxRecordErrorState error;
    CvxMediaWriterState state;
    state.origin = state.lastAudioEnd = 1000000000;
    state.writer = CreateMfMediaWriter(&sink);
    CvxWaveFormat mono;
    mono.formatTag = kWaveFormatFloat;
    mono.channels = 1;
    mono.samplesPerSec = 48000;
    mono.bitsPerSample = 32;
    mono.blockAlign = 4;
    mono.avgBytesPerSec = 192000;
    AddAudioStream(error, state, false, true, nullptr, &mono);
    AddVideoStream(error, state, {1280, 720, 30, 3200000});
    SetVideoInputType(error, state, 1366, 768, 30);
    ASSERT_FALSE(error.Failed());
    ASSERT_EQ(sink.outputs.size(), 2u);
    ASSERT_EQ(sink.inputs.size(), 2u);
    IMFMediaType* aacOut = sink.outputs[0];
    EXPECT_TRUE(Guid(aacOut, MF_MT_MAJOR_TYPE) == MFMediaType_Audio);
    EXPECT_TRUE(Guid(aacOut, MF_MT_SUBTYPE) == MFAudioFormat_AAC);
    EXPECT_EQ(U32(aacOut, MF_MT_AUDIO_BITS_PER_SAMPLE), 16u);
    EXPECT_EQ(U32(aacOut, MF_MT_AUDIO_SAMPLES_PER_SECOND), 48000u);
    EXPECT_EQ(U32(aacOut, MF_MT_AUDIO_NUM_CHANNELS), 2u);
    EXPECT_EQ(U32(aacOut, MF_MT_AUDIO_AVG_BYTES_PER_SECOND), 16000u);
    IMFMediaType* pcmIn = sink.inputs[0];
    EXPECT_TRUE(Guid(pcmIn, MF_MT_SUBTYPE) == MFAudioFormat_Float);
    EXPECT_EQ(U32(pcmIn, MF_MT_AUDIO_NUM_CHANNELS), 2u);   // always stereo
    EXPECT_EQ(U32(pcmIn, MF_MT_AUDIO_BLOCK_ALIGNMENT), 8u);
    EXPECT_EQ(U32(pcmIn, MF_MT_AUDIO_AVG_BYTES_PER_SECOND), 384000u);
    EXPECT_EQ(U32(pcmIn, MF_MT_AUDIO_BITS_PER_SAMPLE), 32u);
    EXPECT_EQ(U32(pcmIn, MF_MT_ALL_SAMPLES_INDEPENDENT), 1u);
    IMFMediaType* h264 = sink.outputs[1];
    EXPECT_TRUE(Guid(h264, MF_MT_SUBTYPE) == MFVideoFormat_H264);
    EXPECT_EQ(U32(h264, MF_MT_AVG_BITRATE), 3200000u);
    EXPECT_EQ(U32(h264, MF_MT_INTERLACE_MODE), UINT32(MFVideoInterlace_Progressive));
    EXPECT_EQ(Pair(h264, MF_MT_FRAME_SIZE), std::make_pair(1280u, 720u));
    EXPECT_EQ(Pair(h264, MF_MT_FRAME_RATE), std::make_pair(30u, 1u));
    EXPECT_EQ(Pair(h264, MF_MT_PIXEL_ASPECT_RATIO), std::make_pair(1u, 1u));
    IMFMediaType* rgb = sink.inputs[1];
    EXPECT_TRUE(Guid(rgb, MF_MT_SUBTYPE) == MFVideoFormat_RGB32);
    EXPECT_EQ(Pair(rgb, MF_MT_FRAME_SIZE), std::make_pair(1366u, 768u));

    BeginWriting(error, state);
    const uint8_t frame[64] = {};
    WriteVideoFrame(error, state, frame, sizeof frame, 333333);
    WriteAudioPacket(error, state, 48000, 8, audio_data_t::Silence(state.origin + 200000, 100000, 4, 48000, 1), 0);
    ASSERT_EQ(sink.samples.size(), 3u);   // frame, 20 ms of silence, the packet
    EXPECT_EQ(sink.samples[0].time, 333333);
    EXPECT_EQ(sink.samples[0].duration, -1);
    EXPECT_EQ(sink.samples[1].time, 0);
    EXPECT_EQ(sink.samples[1].length, 960u * 8);
    EXPECT_EQ(sink.samples[2].time, 200000);
    EXPECT_EQ(sink.samples[2].duration, 100000);
    EXPECT_EQ(sink.samples[2].length, 480u * 8);   // mono in, stereo out
    LogCapture log;
    FinalizeSinkWriter(state);
    EXPECT_TRUE(log.Has("[cvxcore]:Failed to Finalize Sync Writer 0xc00d36b2 ")) << log.All();
    EXPECT_FALSE(error.Failed());
}

TEST(AudioWin, DeviceCheck) {
    bool soundOk = true, micOk = false, match = true;
    std::string text;
    CvxAudioFormatSummary mic, sound;
    LogCapture log;
    CvxCheckAudioDevices(soundOk, micOk, match, text, mic, sound);
    if (PulseRunning()) {
        EXPECT_FALSE(soundOk);
        EXPECT_EQ(text.rfind("A-21--2004287485.000000", 0), 0u) << text;
        EXPECT_TRUE(micOk);
        EXPECT_FALSE(match);
        EXPECT_TRUE(log.Has("[cvxcore]:WFX of microphone:")) << log.All();
        EXPECT_GT(mic.sampleRate, 0u);
    } else {
        EXPECT_EQ(text, "A-17--2147023728.000000/M-17--2147023728.000000");
        EXPECT_FALSE(soundOk);
        EXPECT_FALSE(micOk);
    }
}

TEST(AudioWin, MicrophoneCaptureHearsTheTone) {
    if (!PulseRunning()) GTEST_SKIP() << "no PulseAudio server (scripts/with-pulse.sh)";
    CvxRecordErrorState error;
    std::atomic<bool> errorFlag{false}, go{false}, stop{false}, pause{false};
    error.errorFlag = &errorFlag;
    const uint64_t origin = CvxGetQpcTime();
    AudioMixer mixer(origin);
    std::atomic<AudioMixer*> slotMixer{&mixer};
    AudioCaptureContext context;
    context.error = &error;
    context.errorFlag = &errorFlag;
    context.goFlag = &go;
    context.stopFlag = &stop;
    context.pauseFlag = &pause;
    context.mixer = &slotMixer;
    context.backend = DefaultAudioBackendFactory();
    AudioSourceState* slot = nullptr;
    // the monitor of the null sink is the default capture device of the console role
    ASSERT_TRUE(StartAudioCaptureThread(0, slot, kAudioFlowCapture, kAudioRoleConsole, 0, context));
    WaitAudioCaptureStart(slot, error);
    ASSERT_TRUE(slot->started.load()) << error.code.load();
    go = true;
    // Two seconds of capture, and a little more for the device's latency: what arrives
    // late is stamped with its capture time.
    std::this_thread::sleep_for(std::chrono::milliseconds(2600));
    stop = true;
    const CvxWaveFormat format = slot->format;
    ReleaseAudioCapture(slot);
    EXPECT_FALSE(error.Failed()) << error.code.load();
    const uint64_t end = origin + 20000000;
    std::vector<float> left;
    double covered = 0;
    for (audio_data_t p = mixer.GetNextPacket(true); p.IsValid(); p = mixer.GetNextPacket(true)) {
        if (p.startTime < end) covered += double(std::min(p.End(), end) - std::max(p.startTime, origin)) / 1e7;
        ASSERT_EQ(p.sampleType, AudioSampleType::Float);
        const float* s = reinterpret_cast<const float*>(p.data.get());
        for (uint32_t i = 0; i < p.Frames(); ++i) left.push_back(s[size_t(i) * p.channels]);
    }
    EXPECT_EQ(format.samplesPerSec, 44100u);
    EXPECT_NEAR(covered, 2.0, 0.2);
    // the tone's frequency from its zero crossings, over the samples that are not silence
    int crossings = 0;
    size_t active = 0;
    for (size_t i = 1; i < left.size(); ++i) {
        if (left[i] == 0.0f || left[i - 1] == 0.0f) continue;
        ++active;
        crossings += (left[i - 1] < 0) != (left[i] < 0);
    }
    ASSERT_GT(active, size_t(format.samplesPerSec) / 2);
    EXPECT_NEAR(crossings / 2.0 / (double(active) / format.samplesPerSec), 1000.0, 50.0);
}
