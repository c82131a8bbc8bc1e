#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "core/CvxRect.h"
#include "core/video/AudioCapture.h"
#include "core/video/Mp4Writer.h"
#include "core/video/RecordLoop.h"

// The HRESULT type of the caller's out-value (LONG on Windows).
#ifdef _WIN32
using CvxHResult = long;
#else
using CvxHResult = int32_t;
#endif

// A recording request. Every pointer stays valid until *finishedFlag is true.
struct video_record_params_t {
    const wchar_t* outputPath = nullptr;
    bool recordVideo = true;
    bool recordSound = false;
    bool recordMicrophone = false;
    std::atomic<bool>* stopFlag = nullptr;
    std::atomic<bool>* pauseFlag = nullptr;
    std::atomic<bool>* cancelFlag = nullptr;   // kept with the request; not acted on
    int maxWidth = 0;
    int maxHeight = 0;
    int maxFps = 0;
    std::atomic<int>* measuredFps = nullptr;
    std::atomic<double>* recordedMs = nullptr;
    uint32_t bitrate = 0;
    std::atomic<bool>* finishedFlag = nullptr;
    CvxRect captureRect;
    char* cpuInfo = nullptr;                   // at least kCpuInfoSize chars
    int* outputSize = nullptr;                 // two ints
    bool gameVideo = false;
    uint32_t bitrateCap = 0;
    std::atomic<int>* errorCode = nullptr;
    std::atomic<CvxHResult>* errorHResult = nullptr;
    char** errorText = nullptr;
};

constexpr size_t kCpuInfoSize = 64;

// What a recording takes from the machine. The Windows implementation brings COM, the
// CPUID brand string, SYSTEM_INFO, the process memory and the core's sessions; tests
// bring fakes.
class IRecorderPlatform {
public:
    virtual ~IRecorderPlatform() = default;
    // CoInitializeEx (single-threaded apartment) on the recording thread; an HRESULT.
    virtual int32_t CoInit() = 0;
    virtual void CoUninit() = 0;
    virtual uint32_t ProcessorCount() = 0;
    // The processor brand string; may throw.
    virtual std::string ProcessorBrand() = 0;
    // Takes the rest of the system snapshot (memory status, system information, process).
    virtual void TakeSnapshot() {}
    // The process's working set in bytes; false when it cannot be read.
    virtual bool WorkingSet(uint64_t& bytes) = 0;
    virtual CvxRect VirtualScreen() = 0;
    virtual IRecordSessions& Sessions() = 0;
    virtual MediaWriterFactory PlatformWriter() = 0;
    virtual MediaWriterFactory BuiltinWriter() { return BuiltinMediaWriterFactory(); }
    virtual AudioBackendFactory AudioBackend() = 0;
    // Clocks and sleeper of the loop; its working-set query is filled in by the recorder.
    virtual RecordLoopPlatform LoopPlatform() = 0;
};

// Starts a recording on a detached thread of its own and returns at once. While another
// recording runs, the request is refused at once: *errorCode = CvxRecordError_AlreadyRecording
// and *finishedFlag = true.
void StartRecording(const video_record_params_t& request, std::shared_ptr<IRecorderPlatform> platform);

// The recording itself: settings, writer, audio sources, the loop, release and report.
// Sets *finishedFlag as its very last step and clears the active flag right before.
void RecordVideoThread(const video_record_params_t& request, IRecorderPlatform& platform);

// True from an accepted request until right before its *finishedFlag is set.
bool CvxIsRecordingActive();

#ifdef _WIN32
// The machine itself: COM, CPUID, the process memory and the core's sessions.
std::shared_ptr<IRecorderPlatform> CreateWindowsRecorderPlatform();
#endif
