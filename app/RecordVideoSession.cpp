#include "app/RecordVideoSession.h"

#include <chrono>
#include <cstring>
#include <cstdint>

#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/Sleep.h"
#include "foundation/Utf.h"
#include "server/AnalyticsBuckets.h"

namespace {

constexpr int kDisplayChangedError = 11;
constexpr int kAudioStreamError = 6;
// End messages are retried this often before the thread gives up on the window.
constexpr int kPostRetries = 3000;
constexpr int kPostRetryDelayMs = 10;

std::wstring Wide(const std::string& text) {
    std::wstring wide;
    if (TryUtf8ToWide(text, wide)) return wide;
    // Not UTF-8: keep the ASCII part readable.
    for (char c : text) wide.push_back(static_cast<unsigned char>(c) < 0x80 ? static_cast<wchar_t>(c) : L'?');
    return wide;
}

// Posts an end message, retrying while the window's queue is full.
void PostUntilQueued(ISessionPoster& poster, ISessionClock& clock, SessionMessage message, int param) {
    for (int attempt = 0; attempt < kPostRetries; ++attempt) {
        if (poster.Post(message, param)) return;
        clock.SleepMs(kPostRetryDelayMs);
    }
    Log("RecordVideoSession: message %d could not be posted\n", static_cast<int>(message));
}

}  // namespace

int64_t SteadySessionClock::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadySessionClock::SleepMs(int ms) {
    SleepMilliseconds(ms);
}

std::wstring RecordingCategory(bool game, bool gameVideo) {
    if (game) return L"GameVideo";
    if (gameVideo) return L"FSVideo";
    return L"Video";
}

std::wstring AudioLabel(bool sound, bool mic, const AudioDeviceStatus& status) {
    std::wstring label;
    if (sound) label += status.soundOk ? L"A+" : L"A-";
    if (mic) label += status.micOk ? L"M+" : L"M-";
    if (sound && mic) label += status.formatsMatch ? L"X+" : L"X-";
    return label;
}

void SizeLimitForQuality(int quality, int& maxWidth, int& maxHeight) {
    if (quality == 0) {
        maxWidth = 640;
        maxHeight = 480;
    } else if (quality == 2) {
        maxWidth = 0;
        maxHeight = 0;
    } else {
        maxWidth = 1280;
        maxHeight = 720;
    }
}

std::wstring FormatRecordingReport(const RecordingReport& r) {
    return Format(L"Ver[{}],OS[{}],C[{}],V[{}, {}, {}],A[{}],D[{}],PD[{}],Err[{}-{}],Inf[{}],U[{}]")
        .Arg(r.productVersion)
        .Arg(Wide(r.osVersion))
        .Arg(Wide(r.cpuInfo))
        .Arg(ResolutionBucket(static_cast<unsigned>(r.area.Width()), static_cast<unsigned>(r.area.Height())))
        .Arg(ResolutionBucket(static_cast<unsigned>(r.outputWidth), static_cast<unsigned>(r.outputHeight)))
        .Arg(FpsBucket(r.fps))
        .Arg(r.audioLabel)
        .Arg(DurationBucket(static_cast<int64_t>(r.recordedMs)))
        .Arg(SecondsBucket(r.finishingMs))
        .ArgInt(r.errorCode)
        .ArgHex(static_cast<int>(r.errorHResult))
        .Arg(r.errorText)
        .Arg(r.shortAppId)
        .Str();
}

void RecordVideoSession(VideoRecordingJob& job, IVideoRecorder& recorder, ISessionClock& clock,
                        ISessionPoster& poster) {
    RecordingControl& control = *job.control;
    const std::wstring category = RecordingCategory(job.game, job.gameVideo);

    // The previous recording (cancelled or restarted) finishes its file first: the audio
    // check must not overlap it, and the core records one video at a time.
    if (job.previous) {
        while (!job.previous->done.load()) clock.SleepMs(1);
        job.previous.reset();
    }

    AudioDeviceStatus audio;
    if (job.recordSound || job.recordMicrophone) {
        audio = recorder.CheckAudioDevices();
        if (!audio.text.empty()) {
            Log("AudioFailed: %s\n", audio.text.c_str());
            poster.Event(category, L"AudioFailed",
                         Format(L"Ver[{}],Err[{}],U[{}]").Arg(job.productVersion).Arg(Wide(audio.text)).Arg(job.shortAppId));
        }
    }
    const std::wstring label = AudioLabel(job.recordSound, job.recordMicrophone, audio);
    poster.Event(category, L"Start", Format(L"Ver[{}],A[{}],U[{}]").Arg(job.productVersion).Arg(label).Arg(job.shortAppId));
    Log("audioStat: %s\n", WideToUtf8(label).c_str());

    RecorderRequest request;
    request.path = job.videoPath;
    request.game = job.gameVideo || job.game;
    Log("gameVideo=%d\n", request.game ? 1 : 0);
    SizeLimitForQuality(job.quality, request.maxWidth, request.maxHeight);
    const bool soundWorks = job.recordSound && audio.soundOk;
    request.recordSound = soundWorks;
    request.recordMicrophone = job.recordMicrophone && audio.micOk && !(soundWorks && !audio.formatsMatch);
    request.control = &control;
    request.area = job.area;

    RecorderResults results;
    recorder.RecordAsync(request, results);

    const int64_t limitMs = 60000LL * (job.local ? job.localLimitMinutes : job.uploadLimitMinutes);
    const int64_t started = clock.NowMs();
    int64_t lastFpsLog = started;
    int64_t lastProgress = 0;
    bool progressPosted = false;
    bool pauseSent = false;
    for (;;) {
        double recorded = results.recordedMs.load();
        if (recorded >= static_cast<double>(limitMs) || results.finished.load() || control.stop.load() ||
            control.cancel.load()) {
            break;
        }
        const int64_t now = clock.NowMs();
        if (!control.pause.load()) {
            if (job.panelWindow != 0 && (!progressPosted || now - lastProgress >= kProgressIntervalMs)) {
                if (poster.PostProgress(limitMs, static_cast<int64_t>(recorded))) {
                    progressPosted = true;
                    lastProgress = now;
                }
            }
        } else if (!pauseSent) {
            pauseSent = true;
            poster.Event(category, L"Pause", L"");
        }
        if (now - lastFpsLog > kFpsLogIntervalMs) {
            Log("fps=%d\n", results.measuredFps.load());
            lastFpsLog = now;
        }
        clock.SleepMs(1);
    }

    PostUntilQueued(poster, clock, SessionMessage::CloseCaptureWindows, 0);
    const int64_t finishing = clock.NowMs();
    const bool cancelled = control.cancel.load();
    if (!cancelled) PostUntilQueued(poster, clock, SessionMessage::ShowProgress, kVideoPreparingString);
    control.stop.store(true);
    while (!results.finished.load()) clock.SleepMs(1);
    const int64_t finishingMs = clock.NowMs() - finishing;
    control.done.store(true);
    if (!cancelled) PostUntilQueued(poster, clock, SessionMessage::HideProgress, 0);

    std::wstring errorText;
    if (results.errorText) {
        errorText = Wide(results.errorText);
        recorder.FreeErrorText(results.errorText);
        results.errorText = nullptr;
    }
    if (cancelled) {
        // A cancelled recording is dropped: its file does not stay behind.
        recorder.DiscardOutput(job.videoPath);
        poster.Event(category, L"Cancel", L"");
        poster.Ended();
        return;
    }
    int errorCode = results.errorCode.load();
    if (errorCode == kDisplayChangedError) errorCode = 0;

    RecordingReport report;
    report.productVersion = job.productVersion;
    report.osVersion = job.osVersion;
    report.cpuInfo.assign(results.cpuInfo, strnlen(results.cpuInfo, sizeof results.cpuInfo));
    report.area = job.area;
    report.outputWidth = results.outputSize[0];
    report.outputHeight = results.outputSize[1];
    report.fps = results.measuredFps.load();
    report.audioLabel = label;
    report.recordedMs = results.recordedMs.load();
    report.finishingMs = static_cast<double>(finishingMs);
    report.errorCode = errorCode;
    report.errorHResult = results.errorHResult.load();
    report.errorText = errorText;
    report.shortAppId = job.shortAppId;
    const std::wstring text = FormatRecordingReport(report);

    if (errorCode == 0) {
        poster.Event(category, L"Finished", text);
        poster.Event(category, L"Ready FPS",
                     Format(L"{}, {}")
                         .ArgInt(report.fps)
                         .Arg(ResolutionRangeBucket(static_cast<unsigned>(job.area.Width()),
                                                    static_cast<unsigned>(job.area.Height()))));
        poster.Event(category, L"Ready Duration", DurationBucket(static_cast<int64_t>(report.recordedMs)));
        PostUntilQueued(poster, clock, SessionMessage::VideoRecorded, job.local ? 1 : 0);
    } else {
        poster.Event(category, L"Failed", text);
        PostUntilQueued(poster, clock, SessionMessage::VideoFailed,
                        errorCode == kAudioStreamError ? kVideoAudioFailedString : kVideoFailedString);
    }
    poster.Ended();
}
