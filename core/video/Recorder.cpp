#include "core/video/Recorder.h"

#include <cstring>
#include <exception>
#include <thread>

#include "core/CvxVideoMode.h"
#include "core/video/RecordRules.h"
#include "foundation/Log.h"

namespace {

std::atomic<bool> g_recordingActive{false};

// One recording's state, made fresh for it and gone with it, so a recording that is
// still finishing never touches the next one's writer or mixer.
struct RecorderState {
    video_record_params_t request;
    CvxRecordErrorState error;
    std::atomic<bool> goFlag{false};
    std::atomic<bool> errorFlag{false};
    std::string brand;
    uint32_t processorCount = 0;
    uint64_t workingSet = 0;
    uint64_t memoryCap = 0;
    CvxRect captureRect;
    RecordSettings settings;
    CvxMediaWriterState writer;
    AudioSourceState* microphone = nullptr;
    AudioSourceState* sound = nullptr;
    std::unique_ptr<AudioMixer> mixer;
    std::atomic<AudioMixer*> mixerSlot{nullptr};
    bool comStarted = false;
    bool released = false;
    // The error an exception on the recording thread is reported as: the step the
    // recording had reached when it was thrown.
    CvxRecordError failingStep = CvxRecordError_CoInitialize;
};

const char* MachineLine(MachineClass machine) {
    switch (machine) {
    case MachineClass::Fast: return "[cvxcore]:Fast comp detected\n";
    case MachineClass::Middle: return "[cvxcore]:Middle comp detected\n";
    case MachineClass::Slow: break;
    }
    return "[cvxcore]:Slow comp detected\n";
}

void CopyCpuInfo(char* target, const std::string& text) {
    const size_t n = std::min(text.size(), kCpuInfoSize - 1);
    std::memcpy(target, text.data(), n);
    target[n] = '\0';
}

// The machine, the capture area and the recording's settings.
void Settle(RecorderState& st, IRecorderPlatform& platform) {
    const video_record_params_t& req = st.request;
    st.processorCount = platform.ProcessorCount();
    try {
        st.brand = platform.ProcessorBrand();
    } catch (...) {
        st.brand.clear();
    }
    platform.TakeSnapshot();
    uint64_t workingSet = 0;
    if (platform.WorkingSet(workingSet)) st.workingSet = workingSet;

    CvxRect rect = req.captureRect.IsAllZero() ? platform.VirtualScreen() : req.captureRect;
    st.captureRect = EvenCaptureRect(rect);

    if (req.cpuInfo) {
        try {
            CopyCpuInfo(req.cpuInfo, GetCpuDescription(platform.ProcessorBrand(), st.processorCount));
        } catch (...) {
            CopyCpuInfo(req.cpuInfo, "???");
        }
    }

    RecordRequestLimits limits;
    limits.processorCount = st.processorCount;
    limits.dxgiMode = platform.Sessions().CurrentMode() == CvxVideoModeDxgi;
    limits.maxFps = req.maxFps;
    limits.maxWidth = req.maxWidth;
    limits.maxHeight = req.maxHeight;
    limits.captureWidth = st.captureRect.Width();
    limits.captureHeight = st.captureRect.Height();
    limits.gameVideo = req.gameVideo;
    limits.bitrate = req.bitrate;
    limits.bitrateCap = req.bitrateCap;
    st.settings = SettleRecordSettings(limits);
    st.memoryCap = RecordMemoryCap(st.workingSet, st.settings.memoryAllowance);

    Log(MachineLine(st.settings.machine));
    Log("[cvxcore]:Max FPS: %d\n", st.settings.fps);
    if (req.outputSize) {
        req.outputSize[0] = st.settings.output.width;
        req.outputSize[1] = st.settings.output.height;
    }
    Log("[cvxcore]:in size: %dx%d\n", limits.captureWidth, limits.captureHeight);
    Log("[cvxcore]:out size: %dx%d\n", st.settings.output.width, st.settings.output.height);
    Log("[cvxcore]:Bitrate: %lu\n", static_cast<unsigned long>(st.settings.bitrate));
}

AudioCaptureContext AudioContext(RecorderState& st, IRecorderPlatform& platform) {
    AudioCaptureContext context;
    context.error = &st.error;
    context.errorFlag = &st.errorFlag;
    context.goFlag = &st.goFlag;
    context.stopFlag = st.request.stopFlag;
    // The sources keep delivering while paused: the loop drops what was captured during
    // a pause by its capture time (a source would drop by arrival time, and lose the
    // audio still on its way when the pause began).
    context.pauseFlag = nullptr;
    context.mixer = &st.mixerSlot;
    context.backend = platform.AudioBackend();
    context.clock = platform.LoopPlatform().now;
    return context;
}

// The writer, the audio sources, the streams and the loop.
void Record(RecorderState& st, IRecorderPlatform& platform) {
    const video_record_params_t& req = st.request;
    CreateSinkWriter(st.error, st.writer, req.outputPath ? std::wstring(req.outputPath) : std::wstring(),
                     platform.PlatformWriter(), platform.BuiltinWriter());
    if (st.writer.writer) st.failingStep = CvxRecordError_WriteVideo;
    const AudioCaptureContext audio = AudioContext(st, platform);
    StartMicrophoneCapture(st.microphone, req.recordMicrophone, audio);
    StartSoundCapture(st.sound, req.recordSound, audio);
    AddAudioStream(st.error, st.writer, req.recordSound, req.recordMicrophone,
                   st.sound && st.sound->hasFormat ? &st.sound->format : nullptr,
                   st.microphone && st.microphone->hasFormat ? &st.microphone->format : nullptr);
    if (!st.error.Failed() && req.recordVideo) {
        VideoOutputType output;
        output.width = uint32_t(st.settings.output.width);
        output.height = uint32_t(st.settings.output.height);
        output.fps = uint32_t(st.settings.fps);
        output.bitrate = st.settings.bitrate;
        AddVideoStream(st.error, st.writer, output);
        SetVideoInputType(st.error, st.writer, uint32_t(st.captureRect.Width()), uint32_t(st.captureRect.Height()),
                          uint32_t(st.settings.fps));
    }
    Log("[cvxcore]:Start record loop\n");

    RecordLoopJob job;
    job.error = &st.error;
    job.writer = &st.writer;
    job.sessions = &platform.Sessions();
    job.mixer = &st.mixer;
    job.mixerSlot = &st.mixerSlot;
    job.goFlag = &st.goFlag;
    job.stopFlag = req.stopFlag;
    job.pauseFlag = req.pauseFlag;
    job.measuredFps = req.measuredFps;
    job.recordedMs = req.recordedMs;
    job.recordVideo = req.recordVideo;
    job.recordAudio = req.recordSound || req.recordMicrophone;
    job.captureRect = st.captureRect;
    job.fps = st.settings.fps;
    job.slowComputer = IsSlowComputer(st.processorCount);
    job.memoryCap = st.memoryCap;
    job.workingSet = st.workingSet;
    RecordLoopPlatform loopPlatform = platform.LoopPlatform();
    loopPlatform.workingSet = [&platform](uint64_t& bytes) { return platform.WorkingSet(bytes); };
    RecordLoop(job, loopPlatform);
}

// Stops the sources, finishes the file and leaves COM; safe to run twice.
void Release(RecorderState& st, IRecorderPlatform& platform) {
    if (st.released) return;
    st.released = true;
    Log("[cvxcore]:Recording releasing\n");
    Log("[cvxcore]:Releasing Microphone\n");
    ReleaseAudioCapture(st.microphone);
    Log("[cvxcore]:Releasing Sound\n");
    ReleaseAudioCapture(st.sound);
    Log("[cvxcore]:Releasing Video\n");
    FinalizeSinkWriter(st.writer);
    if (st.comStarted) {
        platform.CoUninit();
        st.comStarted = false;
    }
}

// After an exception on the recording thread: the step it was thrown in is the failure
// (unless a failure was recorded before), the sources stop and the file is finished.
void Abandon(RecorderState& st, IRecorderPlatform& platform) {
    if (!st.error.Failed()) SetRecordError(st.error, st.failingStep, kWriterUnexpected);
    st.errorFlag = true;
    Release(st, platform);
}

}  // namespace

bool CvxIsRecordingActive() {
    return g_recordingActive.load();
}

void RecordVideoThread(const video_record_params_t& request, IRecorderPlatform& platform) {
    auto st = std::make_unique<RecorderState>();
    st->request = request;
    st->error.Reset();
    st->error.errorFlag = &st->errorFlag;
    if (request.finishedFlag) request.finishedFlag->exchange(false);
    try {
        Settle(*st, platform);
        const int32_t hr = platform.CoInit();
        if (hr < 0) {
            SetRecordError(st->error, CvxRecordError_CoInitialize, hr);
        } else {
            st->comStarted = true;
            st->failingStep = CvxRecordError_CreateSinkWriter;
            Record(*st, platform);
            Release(*st, platform);
        }
    } catch (const std::exception& e) {
        Log("[cvxcore]:Recording thread failed: %s\n", e.what());
        Abandon(*st, platform);
    } catch (...) {
        Log("[cvxcore]:Recording thread failed\n");
        Abandon(*st, platform);
    }
    if (request.errorCode) request.errorCode->exchange(st->error.code.load());
    if (request.errorHResult) request.errorHResult->exchange(CvxHResult(st->error.hresult.load()));
    if (request.errorText) *request.errorText = nullptr;
    Log("[cvxcore]:Recording finished\n");
    g_recordingActive.store(false);
    if (request.finishedFlag) request.finishedFlag->exchange(true);
    // The mixer goes with the state, after the caller has been told.
    st.reset();
}

void StartRecording(const video_record_params_t& request, std::shared_ptr<IRecorderPlatform> platform) {
    bool idle = false;
    if (!g_recordingActive.compare_exchange_strong(idle, true)) {
        Log("[cvxcore]:Recording refused: another recording is still running\n");
        if (request.errorCode) request.errorCode->exchange(CvxRecordError_AlreadyRecording);
        if (request.errorHResult) request.errorHResult->exchange(CvxHResult(kRecordHrFalse));
        if (request.errorText) *request.errorText = nullptr;
        if (request.finishedFlag) request.finishedFlag->exchange(true);
        return;
    }
    // The thread starts with the finished flag down, so a caller polling right after
    // this call does not see the end of a previous recording.
    if (request.finishedFlag) request.finishedFlag->exchange(false);
    auto copy = std::make_unique<video_record_params_t>(request);
    try {
        std::thread([copy = std::move(copy), platform]() mutable {
            RecordVideoThread(*copy, *platform);
        }).detach();
    } catch (const std::exception& e) {
        Log("[cvxcore]:Recording thread not started: %s\n", e.what());
        if (request.errorCode) request.errorCode->exchange(CvxRecordError_CreateSinkWriter);
        if (request.errorHResult) request.errorHResult->exchange(CvxHResult(kWriterUnexpected));
        if (request.errorText) *request.errorText = nullptr;
        g_recordingActive.store(false);
        if (request.finishedFlag) request.finishedFlag->exchange(true);
    }
}
