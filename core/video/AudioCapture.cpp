#include "core/video/AudioCapture.h"

#include <chrono>
#include <system_error>
#include <thread>
#include <vector>

#include "core/IntervalGate.h"
#include "foundation/Log.h"
#include "foundation/Sleep.h"

namespace {

void SleepMs(int64_t ms) { SleepMilliseconds(int(ms)); }

bool IsSet(const std::atomic<bool>* flag) { return flag && flag->load(); }

// How far a packet's time stamp may lie before the end of the previous packet and still
// be taken as its continuation (100 ms).
constexpr uint64_t kMaxStampJitter = 1000000;

AudioSampleType SampleTypeOf(const CvxWaveFormat& format) {
    return format.SampleTag() == kWaveFormatFloat ? AudioSampleType::Float : AudioSampleType::Int;
}

class CaptureRun {
public:
    CaptureRun(int queue, AudioSourceState* state, const AudioCaptureContext& context)
        : m_queue(queue), m_state(state), m_context(context) {}

    void Run(int dataFlow, int role, uint32_t streamFlags, CvxWaveFormat* formatOut) {
        if (m_context.backend) m_backend = m_context.backend();
        if (!m_backend) {
            SetRecordError(*m_context.error, CvxRecordError_AudioCoInitialize, int32_t(0x80004001u));   // E_NOTIMPL
        } else if (Initialise(dataFlow, role, streamFlags, formatOut) && WaitForGo()) {
            Read();
        }
        CleanUp();
    }

private:
    bool Step(int32_t hr, int code, AudioStep acquired) {
        if (hr < 0) {
            SetRecordError(*m_context.error, code, hr);
            return false;
        }
        m_acquired.push_back(acquired);
        return true;
    }

    bool Initialise(int dataFlow, int role, uint32_t streamFlags, CvxWaveFormat* formatOut) {
        IAudioCaptureBackend& b = *m_backend;
        if (!Step(b.CoInit(), CvxRecordError_AudioCoInitialize, AudioStep::CoInit)) return false;
        if (!Step(b.CreateEnumerator(), CvxRecordError_AudioEnumerator, AudioStep::Enumerator)) return false;
        if (!Step(b.GetDefaultEndpoint(dataFlow, role), CvxRecordError_AudioEndpoint, AudioStep::Device)) return false;
        if (!Step(b.Activate(), CvxRecordError_AudioActivate, AudioStep::Client)) return false;
        CvxWaveFormat format;
        if (!Step(b.GetMixFormat(format), CvxRecordError_AudioMixFormat, AudioStep::MixFormat)) return false;

        bool hasClosest = false;
        CvxWaveFormat closest;
        const int32_t supported = b.IsFormatSupported(hasClosest, closest);
        bool useClosest = false;
        if (supported == kAudioHrFalse && hasClosest) {
            Log("[cvxcore]:Closest audio stream format found\n");
            useClosest = true;
            format = closest;   // the format the device is opened with is the one kept
        } else if (supported == kAudioHrFalse) {
            SetRecordError(*m_context.error, CvxRecordError_AudioFormatSupport);
            return false;
        } else if (supported != 0) {
            SetRecordError(*m_context.error, CvxRecordError_AudioFormatSupport, supported);
            return false;
        }
        m_format = format;
        m_state->format = format;
        m_state->hasFormat = true;
        if (formatOut) *formatOut = format;

        if (int32_t hr = b.Initialize(streamFlags, 10000000, useClosest); hr < 0)
            return SetRecordError(*m_context.error, CvxRecordError_AudioInitialize, hr), false;
        if (!Step(b.GetCaptureClient(), CvxRecordError_AudioCaptureClient, AudioStep::CaptureClient)) return false;
        if (!Step(b.GetClock(), CvxRecordError_AudioClock, AudioStep::Clock)) return false;
        if (!Step(b.SetMmcss(), CvxRecordError_AudioMmcss, AudioStep::Mmcss)) return false;
        if (!Step(b.Start(), CvxRecordError_AudioStart, AudioStep::Started)) return false;
        Log("[cvxcore]:T-0x%x: Audio Capture thread initialized\n", 0u);
        m_state->started = true;
        return true;
    }

    bool Stopping() const {
        return IsSet(m_context.stopFlag) || IsSet(m_context.errorFlag) || m_state->stopped.load() ||
               m_context.error->Failed();
    }

    bool WaitForGo() {
        while (!IsSet(m_context.goFlag) && !Stopping()) SleepMs(1);
        if (Stopping()) {
            Log("[cvxcore]:T-0x%x: Audio Capture thread stop\n", 0u);
            return false;
        }
        return true;
    }

    void Push(const audio_data_t& chunk, AudioMixer* mixer) {
        if (mixer && chunk.IsValid() && chunk.startTime >= mixer->Origin()) mixer->Push(m_queue, chunk);
    }

    void Read() {
        IAudioCaptureBackend& b = *m_backend;
        AudioMixer* mixer = m_context.mixer ? m_context.mixer->load() : nullptr;
        const uint16_t align = m_format.blockAlign;
        const uint32_t rate = m_format.samplesPerSec;
        const AudioSampleType type = SampleTypeOf(m_format);
        m_reading = true;
        int32_t hr = b.GetPosition();
        if (hr < 0) return SetRecordError(*m_context.error, CvxRecordError_AudioPosition, hr);
        Log("[cvxcore]:T-0x%x: Audio Capture thread start reading\n", 0u);
        uint32_t bufferFrames = 0;
        hr = b.GetBufferSize(bufferFrames);
        if (hr < 0) return SetRecordError(*m_context.error, CvxRecordError_AudioBufferSize, hr);
        Log("[cvxcore]:T-0x%x: Audio buffer frames size: %d\n", 0u, int(bufferFrames));
        const int64_t bufferTicks = rate ? int64_t(bufferFrames) * 10000000 / rate : 0;
        const int64_t sleepMs = bufferTicks / 500000;
        uint64_t next = mixer ? mixer->Origin() : 0;
        IntervalGate gap(50.0, m_context.clock);
        bool gapRunning = false;
        // The end of the last silence put in for a quiet device, and whether a packet has
        // been taken at all.
        uint64_t silenceUntil = 0;
        bool anyPacket = false;

        while (!Stopping()) {
            SleepMs(sleepMs);
            uint32_t packet = 0;
            hr = b.GetNextPacketSize(packet);
            if (hr < 0) return SetRecordError(*m_context.error, CvxRecordError_AudioPacketSize, hr);
            if (gapRunning && gap.ElapsedMs() >= 50.0) {
                // The device delivered nothing for a while (loopback of a silent
                // system): fill the time with silence. Dropped while paused like sound.
                const uint64_t duration = uint64_t(gap.ElapsedMs()) * 10000;
                audio_data_t silence = audio_data_t::Silence(next, duration, align, rate, m_format.channels, type);
                if (!IsSet(m_context.pauseFlag)) Push(silence, mixer);
                if (silence.IsValid()) {
                    next = silence.End();
                    silenceUntil = next;
                }
                gapRunning = false;
            }
            if (packet == 0) {
                if (!gapRunning) {
                    gap.Restart();
                    gapRunning = true;
                }
                continue;
            }
            while (packet != 0) {
                gapRunning = false;
                const uint8_t* data = nullptr;
                uint32_t frames = 0, flags = 0;
                uint64_t position = 0;
                hr = b.GetBuffer(data, frames, flags, position);
                if (hr < 0) return SetRecordError(*m_context.error, CvxRecordError_AudioGetBuffer, hr);
                if (flags & kAudioBufferSilent) data = nullptr;
                const uint64_t bytes = uint64_t(frames) * align;
                if (bytes >= 1 && bytes <= UINT32_MAX) {
                    audio_data_t chunk =
                        audio_data_t::Copy(position, data, uint32_t(bytes), align, rate, m_format.channels, type);
                    if (chunk.startTime + 1000 < next) {
                        if (!anyPacket || chunk.startTime + 1000 < silenceUntil) {
                            // Silence (or the time before the origin) already stands for
                            // the start of a late packet: keep only the rest, so no time
                            // is queued twice.
                            chunk = chunk.Tail(next);
                        } else if (next - chunk.startTime < kMaxStampJitter) {
                            // A packet that follows the last one without a gap but carries
                            // an early time stamp (some drivers stamp several packets with
                            // one time): its frames follow the last ones.
                            chunk.startTime = next;
                        } else {
                            chunk = chunk.Tail(next);
                        }
                    }
                    if (chunk.IsValid()) anyPacket = true;
                    if (!IsSet(m_context.pauseFlag)) Push(chunk, mixer);
                    if (chunk.IsValid()) next = chunk.End();
                }
                hr = b.ReleaseBuffer(frames);
                if (hr < 0) return SetRecordError(*m_context.error, CvxRecordError_AudioReleaseBuffer, hr);
                hr = b.GetNextPacketSize(packet);
                if (hr < 0) return SetRecordError(*m_context.error, CvxRecordError_AudioPacketSize, hr);
            }
        }
    }

    void CleanUp() {
        if (m_reading) Log("[cvxcore]:Audio Capture thread stopped reading. Total Read %ld bytes\n", 0L);
        if (m_backend) {
            for (auto it = m_acquired.rbegin(); it != m_acquired.rend(); ++it) m_backend->Release(*it);
            m_backend.reset();
        }
        Log("[cvxcore]:Audio Capture thread finished\n");
        m_state->stopped = true;
        Log("[cvxcore]:Audio Capture thread released\n");
        m_state->finished = true;   // the last touch of the state
    }

    int m_queue;
    AudioSourceState* m_state;
    const AudioCaptureContext& m_context;
    std::unique_ptr<IAudioCaptureBackend> m_backend;
    std::vector<AudioStep> m_acquired;
    CvxWaveFormat m_format;
    bool m_reading = false;
};

}  // namespace

void AudioCaptureThread(int queue, AudioSourceState* state, int dataFlow, int role, uint32_t streamFlags,
                        const AudioCaptureContext& context, CvxWaveFormat* formatOut) {
    CaptureRun(queue, state, context).Run(dataFlow, role, streamFlags, formatOut);
}

bool StartAudioCaptureThread(int queue, AudioSourceState*& slot, int dataFlow, int role, uint32_t streamFlags,
                             const AudioCaptureContext& context) {
    slot = new AudioSourceState();
    AudioSourceState* state = slot;
    try {
        std::thread([=] {
            try {
                AudioCaptureThread(queue, state, dataFlow, role, streamFlags, context, nullptr);
            } catch (...) {
                state->stopped = true;
                state->finished = true;
            }
        }).detach();
        return true;
    } catch (const std::system_error& e) {
        Log("[cvxcore]:Audio capture thread not started: %s\n", e.what());
        state->stopped = true;
        state->finished = true;
        return false;
    }
}

void WaitAudioCaptureStart(const AudioSourceState* state, const CvxRecordErrorState& error) {
    if (!state) return;
    while (!error.Failed() && !state->started.load() && !state->stopped.load()) SleepMs(1);
}

void ReleaseAudioCapture(AudioSourceState*& slot) {
    if (!slot) return;
    slot->stopped = true;
    if (slot->started.load()) Log("[cvxcore]:Waiting audio thread released\n");
    while (!slot->finished.load()) SleepMs(1);
    delete slot;
    slot = nullptr;
    Log("[cvxcore]:Audio thread released\n");
}

void StartMicrophoneCapture(AudioSourceState*& slot, bool requested, const AudioCaptureContext& context) {
    if (!requested || context.error->Failed()) return;
    StartAudioCaptureThread(AudioMixer::kMicrophoneQueue, slot, kAudioFlowCapture, kAudioRoleCommunications, 0,
                            context);
    WaitAudioCaptureStart(slot, *context.error);
    Log("[cvxcore]:Record microphone...\n");
}

void StartSoundCapture(AudioSourceState*& slot, bool requested, const AudioCaptureContext& context) {
    if (!requested || context.error->Failed()) return;
    StartAudioCaptureThread(AudioMixer::kSoundQueue, slot, kAudioFlowRender, kAudioRoleConsole, kAudioStreamLoopback,
                            context);
    WaitAudioCaptureStart(slot, *context.error);
    Log("[cvxcore]:Record sound...\n");
}
