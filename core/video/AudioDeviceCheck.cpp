#include "core/video/AudioDeviceCheck.h"

#include <cstdio>
#include <system_error>
#include <thread>

#include "foundation/Log.h"

namespace {

struct SourceResult {
    bool ok = false;
    CvxWaveFormat format;
    int code = 0;
    int32_t hr = 0;
};

SourceResult TestSource(int queue, int dataFlow, int role, uint32_t flags, const AudioBackendFactory& backend) {
    SourceResult result;
    CvxRecordErrorState error;
    std::atomic<bool> errorFlag{false}, go{false}, stop{true}, pause{false};
    error.errorFlag = &errorFlag;
    AudioCaptureContext context;
    context.error = &error;
    context.errorFlag = &errorFlag;
    context.goFlag = &go;
    context.stopFlag = &stop;   // open, report, stop
    context.pauseFlag = &pause;
    context.backend = backend;
    AudioSourceState state;
    try {
        std::thread thread([&] { AudioCaptureThread(queue, &state, dataFlow, role, flags, context, &result.format); });
        thread.join();
    } catch (const std::system_error& e) {
        Log("[cvxcore]:Audio check thread failed: %s\n", e.what());
        result.code = CvxRecordError_AudioCoInitialize;
        result.hr = int32_t(0x80004005u);
        return result;
    }
    result.ok = state.started.load();
    result.code = error.code.load();
    result.hr = error.hresult.load();
    return result;
}

void Summarise(const CvxWaveFormat& f, CvxAudioFormatSummary& out) {
    out.sampleRate = f.samplesPerSec;
    out.channels = f.channels;
    out.bitsPerSample = f.bitsPerSample;
}

}  // namespace

std::string AudioFailureCode(int code, int32_t hr) {
    char text[64];
    std::snprintf(text, sizeof text, "%d-%.6f", code, double(hr));
    return text;
}

void CvxCheckAudioDevices(bool& soundOk, bool& micOk, bool& formatsMatch, std::string& text,
                          CvxAudioFormatSummary& micSummary, CvxAudioFormatSummary& soundSummary,
                          const AudioBackendFactory& backend) {
    text.clear();
    soundOk = micOk = formatsMatch = false;

    const SourceResult sound =
        TestSource(AudioMixer::kSoundQueue, kAudioFlowRender, kAudioRoleConsole, kAudioStreamLoopback, backend);
    soundOk = sound.ok;
    if (sound.ok) {
        LogWaveFormat("audio", sound.format);
        Summarise(sound.format, soundSummary);
    } else {
        text = "A-" + AudioFailureCode(sound.code, sound.hr);
    }

    const SourceResult mic =
        TestSource(AudioMixer::kMicrophoneQueue, kAudioFlowCapture, kAudioRoleCommunications, 0, backend);
    micOk = mic.ok;
    if (mic.ok) {
        LogWaveFormat("microphone", mic.format);
        Summarise(mic.format, micSummary);
    } else {
        text += "/M-" + AudioFailureCode(mic.code, mic.hr);
    }

    if (!sound.ok || !mic.ok) return;
    formatsMatch = true;
    if (sound.format.SameHeader(mic.format)) return;
    const std::string tags = WaveFormatMismatchTags(sound.format, mic.format);
    text += tags;
    formatsMatch = tags.empty();
}
