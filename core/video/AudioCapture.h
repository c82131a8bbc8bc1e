#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/TickClock.h"
#include "core/video/AudioMixer.h"
#include "core/video/RecordError.h"
#include "core/video/WaveFormat.h"

// Data flows and roles of the capture endpoints.
constexpr int kAudioFlowRender = 0;    // eRender (system sound, captured by loopback)
constexpr int kAudioFlowCapture = 1;   // eCapture
constexpr int kAudioRoleConsole = 0;
constexpr int kAudioRoleCommunications = 2;
constexpr uint32_t kAudioStreamLoopback = 0x00020000;   // AUDCLNT_STREAMFLAGS_LOOPBACK
constexpr uint32_t kAudioBufferSilent = 0x2;            // AUDCLNT_BUFFERFLAGS_SILENT
constexpr int32_t kAudioHrFalse = 1;                    // S_FALSE

// What a capture thread acquires, in order; released in reverse.
enum class AudioStep { CoInit, Enumerator, Device, Client, MixFormat, CaptureClient, Clock, Mmcss, Started };

// One capture device, step by step (WASAPI on Windows; fakes in tests). Every call
// returns an HRESULT.
class IAudioCaptureBackend {
public:
    virtual ~IAudioCaptureBackend() = default;
    virtual int32_t CoInit() = 0;
    virtual int32_t CreateEnumerator() = 0;
    virtual int32_t GetDefaultEndpoint(int dataFlow, int role) = 0;
    virtual int32_t Activate() = 0;
    virtual int32_t GetMixFormat(CvxWaveFormat& format) = 0;
    // S_OK: the mix format is fine; S_FALSE with `hasClosest`: use `closest` instead.
    virtual int32_t IsFormatSupported(bool& hasClosest, CvxWaveFormat& closest) = 0;
    // Initialise with the mix format, or with the closest one when `useClosest`.
    virtual int32_t Initialize(uint32_t streamFlags, int64_t bufferTicks, bool useClosest) = 0;
    virtual int32_t GetCaptureClient() = 0;
    virtual int32_t GetClock() = 0;
    virtual int32_t SetMmcss() = 0;   // the HRESULT of GetLastError when it fails
    virtual int32_t Start() = 0;
    virtual int32_t GetPosition() = 0;
    virtual int32_t GetBufferSize(uint32_t& frames) = 0;
    virtual int32_t GetNextPacketSize(uint32_t& frames) = 0;
    // Frames of the next packet and its performance-counter position (100 ns).
    virtual int32_t GetBuffer(const uint8_t*& data, uint32_t& frames, uint32_t& flags, uint64_t& qpcPosition) = 0;
    virtual int32_t ReleaseBuffer(uint32_t frames) = 0;
    virtual void Release(AudioStep step) = 0;
};
using AudioBackendFactory = std::function<std::unique_ptr<IAudioCaptureBackend>()>;
// WASAPI on Windows; null elsewhere.
AudioBackendFactory DefaultAudioBackendFactory();

// One source's shared state. Owned by the slot that StartAudioCaptureThread fills, freed
// by ReleaseAudioCapture once the thread has finished.
struct AudioSourceState {
    std::atomic<bool> stopped{false};
    std::atomic<bool> started{false};
    std::atomic<bool> finished{false};
    CvxWaveFormat format;   // the format the device records in, once started
    bool hasFormat = false;
};

// What a recording shares with its audio threads.
struct AudioCaptureContext {
    CvxRecordErrorState* error = nullptr;
    std::atomic<bool>* errorFlag = nullptr;
    std::atomic<bool>* goFlag = nullptr;
    std::atomic<bool>* stopFlag = nullptr;
    std::atomic<bool>* pauseFlag = nullptr;
    std::atomic<AudioMixer*>* mixer = nullptr;   // set by the record loop before go
    AudioBackendFactory backend;
    TickClock clock = MonotonicTicks;
};

// The thread body: opens the device, reports started, waits for go, then pushes chunks
// into the mixer's queue until stopped. `formatOut` receives the capture format.
void AudioCaptureThread(int queue, AudioSourceState* state, int dataFlow, int role, uint32_t streamFlags,
                        const AudioCaptureContext& context, CvxWaveFormat* formatOut);

// Allocates the state into `slot` and runs AudioCaptureThread on a detached thread.
// False when no thread could be started (the state is then marked finished).
bool StartAudioCaptureThread(int queue, AudioSourceState*& slot, int dataFlow, int role, uint32_t streamFlags,
                             const AudioCaptureContext& context);
// Returns once the source has started or stopped; at once when an error is recorded.
void WaitAudioCaptureStart(const AudioSourceState* state, const CvxRecordErrorState& error);
// Stops the thread, waits for it and frees the state.
void ReleaseAudioCapture(AudioSourceState*& slot);

// The recording's two sources.
void StartMicrophoneCapture(AudioSourceState*& slot, bool requested, const AudioCaptureContext& context);
void StartSoundCapture(AudioSourceState*& slot, bool requested, const AudioCaptureContext& context);
