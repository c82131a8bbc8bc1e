#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "core/CvxRect.h"

// The body of the thread that runs one screen recording: audio check, the recorder,
// the watch loop that feeds the control panel, the finishing, the outcome and the
// recording's analytics events. It talks to the windows only through a poster, reads
// time through a clock and drives the recorder through an interface, so that the whole
// flow runs without Windows against a fake recorder.

// The control flags of one recording, shared by the main dialog (stop, pause, cancel),
// the recording thread and the recorder. Every recording has its own block, so a new
// recording started while a cancelled one still closes its file never touches the old
// recorder's flags.
struct RecordingControl {
    std::atomic<bool> stop{false};
    std::atomic<bool> pause{false};
    std::atomic<bool> cancel{false};
    // Set by the recording thread once its recorder has finished (the last thing that
    // thread does with the recorder).
    std::atomic<bool> done{false};
};

// What the main dialog hands to the recording thread (owned by the thread).
struct VideoRecordingJob {
    int quality = 1;                 // VideoQualityLevel
    int localLimitMinutes = 240;
    int uploadLimitMinutes = 30;
    std::string osVersion;
    bool game = false;               // a full-screen application is (or just was) active
    bool gameVideo = false;          // the foreground window is full screen, or game
    CvxRect area;                    // the adjusted recorded area, screen coordinates
    uintptr_t mainWindow = 0;        // window handles, as numbers
    uintptr_t panelWindow = 0;       // 0: no control panel
    bool local = true;               // saved in the video folder (else uploaded)
    bool recordSound = false;
    bool recordMicrophone = false;
    std::wstring shortAppId;
    std::wstring productVersion;
    std::wstring videoPath;
    std::shared_ptr<RecordingControl> control;
    // The recording started before this one (null: none). It is waited for before the
    // audio check and the recorder start, so two recorders never overlap.
    std::shared_ptr<RecordingControl> previous;
};

struct AudioDeviceStatus {
    bool soundOk = false;
    bool micOk = false;
    bool formatsMatch = false;
    std::string text;                // diagnostic; "" when everything works
};

struct RecorderRequest {
    std::wstring path;
    bool game = false;
    int maxWidth = 0, maxHeight = 0; // 0 x 0: the recorder's own default
    bool recordSound = false;
    bool recordMicrophone = false;
    RecordingControl* control = nullptr;
    CvxRect area;
};

// The recorder's out-values; they must stay valid until `finished` is set.
struct RecorderResults {
    std::atomic<bool> finished{false};
    std::atomic<int> measuredFps{0};
    std::atomic<double> recordedMs{0.0};
    int outputSize[2] = {0, 0};
    char cpuInfo[128] = "?";
    std::atomic<int> errorCode{0};
    std::atomic<long> errorHResult{0};
    char* errorText = nullptr;       // the recorder's copy, freed through the recorder
};

class IVideoRecorder {
public:
    virtual ~IVideoRecorder() = default;
    virtual AudioDeviceStatus CheckAudioDevices() = 0;
    // Starts the recording and returns at once.
    virtual void RecordAsync(const RecorderRequest& request, RecorderResults& results) = 0;
    virtual void FreeErrorText(char* text) = 0;
    // Deletes what a cancelled recording left at `path`.
    virtual void DiscardOutput(const std::wstring& path) = 0;
};

class ISessionClock {
public:
    virtual ~ISessionClock() = default;
    virtual int64_t NowMs() = 0;
    virtual void SleepMs(int ms) = 0;
};

// steady_clock and SleepMilliseconds.
class SteadySessionClock : public ISessionClock {
public:
    int64_t NowMs() override;
    void SleepMs(int ms) override;
};

// What the recording thread tells the main window.
enum class SessionMessage {
    CloseCaptureWindows,
    ShowProgress,      // param: string id
    HideProgress,
    VideoRecorded,     // param: 1 when the file was saved locally, 0 when it is to be uploaded
    VideoFailed,       // param: string id
};

class ISessionPoster {
public:
    virtual ~ISessionPoster() = default;
    // False when the message could not be queued.
    virtual bool Post(SessionMessage message, int param) = 0;
    // A progress record for the control panel; false when it could not be queued
    // (nothing stays allocated then).
    virtual bool PostProgress(int64_t limitMs, int64_t elapsedMs) = 0;
    virtual void Event(const std::wstring& category, const std::wstring& action, const std::wstring& label) = 0;
    // The thread is about to end.
    virtual void Ended() {}
};

// The record of WM_APP_RECORD_PROGRESS (heap; the control panel frees it).
struct RecordProgress {
    int64_t limitMs;
    int64_t elapsedMs;
};

// String ids of the outcome.
constexpr int kVideoPreparingString = 181;
constexpr int kVideoFailedString = 184;
constexpr int kVideoAudioFailedString = 189;
// At most one progress record per this many milliseconds.
constexpr int64_t kProgressIntervalMs = 100;
constexpr int64_t kFpsLogIntervalMs = 3000;

// Pure pieces of the session, for tests.
std::wstring RecordingCategory(bool game, bool gameVideo);
std::wstring AudioLabel(bool sound, bool mic, const AudioDeviceStatus& status);
void SizeLimitForQuality(int quality, int& maxWidth, int& maxHeight);
struct RecordingReport {
    std::wstring productVersion;
    std::string osVersion;
    std::string cpuInfo;
    CvxRect area;
    int outputWidth = 0, outputHeight = 0;
    int fps = 0;
    std::wstring audioLabel;
    double recordedMs = 0;
    double finishingMs = 0;
    int errorCode = 0;
    long errorHResult = 0;
    std::wstring errorText;
    std::wstring shortAppId;
};
std::wstring FormatRecordingReport(const RecordingReport& report);

// The whole recording. Returns when the recorder has finished and everything is posted.
void RecordVideoSession(VideoRecordingJob& job, IVideoRecorder& recorder, ISessionClock& clock,
                        ISessionPoster& poster);
