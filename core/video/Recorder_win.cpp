// The recorder on Windows: the machine as the recording thread sees it, and the core's
// entry point.
#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <cpuid.h>

#include <type_traits>

#include "core/Cvx.h"
#include "core/video/Recorder.h"
#include "foundation/Log.h"

static_assert(std::is_same<HRESULT, CvxHResult>::value, "the out-value is an HRESULT");

namespace {

class CoreRecordSessions : public IRecordSessions {
public:
    int Start(const CvxRect& area) override { return CvxStartScreenshotSession(ToRECT(area)); }
    int StartInMode(int mode, const CvxRect& area) override {
        return CvxStartScreenshotSessionInMode(mode, ToRECT(area));
    }
    std::vector<uint8_t>& Read(int id, std::vector<uint8_t>& buffer, uint64_t& time,
                               CvxGetScreenshotStatus& status) override {
        return CvxGetScreenshot(id, buffer, time, status);
    }
    void TryRefresh(int id) override { CvxTryRefreshScreenshotSession(id); }
    void Stop(int id) override { CvxStopScreenshotSession(id); }
    int CurrentMode() override { return CvxGetVideoMode(); }
    int SessionMode() override { return CvxGetScreenshotSessionMode(); }
};

class WindowsRecorderPlatform : public IRecorderPlatform {
public:
    int32_t CoInit() override { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void CoUninit() override { CoUninitialize(); }
    uint32_t ProcessorCount() override {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        return info.dwNumberOfProcessors;
    }
    std::string ProcessorBrand() override {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!__get_cpuid(0x80000000u, &a, &b, &c, &d) || a < 0x80000004u) return std::string();
        char brand[49] = {};
        for (unsigned leaf = 0; leaf < 3; ++leaf) {
            unsigned regs[4] = {};
            __get_cpuid(0x80000002u + leaf, &regs[0], &regs[1], &regs[2], &regs[3]);
            memcpy(brand + leaf * 16, regs, 16);
        }
        return std::string(brand);
    }
    void TakeSnapshot() override {
        GetSystemInfo(&m_systemInfo);
        m_memory.dwLength = sizeof(m_memory);
        GlobalMemoryStatusEx(&m_memory);
        m_processId = GetCurrentProcessId();
    }
    bool WorkingSet(uint64_t& bytes) override {
        // Asked every pass of the loop: the process's own pseudo handle needs no opening
        // and closing.
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof(counters);
        const bool ok = K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)) != FALSE;
        if (ok) bytes = counters.WorkingSetSize;
        return ok;
    }
    CvxRect VirtualScreen() override { return ToCvxRect(CvxGetVirtualScreenRect()); }
    IRecordSessions& Sessions() override { return m_sessions; }
    MediaWriterFactory PlatformWriter() override { return PlatformMediaWriterFactory(); }
    AudioBackendFactory AudioBackend() override { return DefaultAudioBackendFactory(); }
    RecordLoopPlatform LoopPlatform() override {
        RecordLoopPlatform p;
        p.now = MonotonicTicks;
        p.qpc = CvxGetQpcTime;
        p.sleep = [](int ms) { Sleep(DWORD(ms)); };
        return p;
    }

private:
    CoreRecordSessions m_sessions;
    SYSTEM_INFO m_systemInfo{};
    MEMORYSTATUSEX m_memory{};
    DWORD m_processId = 0;
};

}  // namespace

std::shared_ptr<IRecorderPlatform> CreateWindowsRecorderPlatform() {
    return std::make_shared<WindowsRecorderPlatform>();
}

void CvxRecordVideoAsync(const wchar_t* outputPath, bool gameVideo, int maxWidth, int maxHeight, bool recordSound,
                         bool recordMicrophone, std::atomic<bool>* stopFlag, std::atomic<bool>* pauseFlag,
                         std::atomic<bool>* cancelFlag, std::atomic<bool>* finishedFlag,
                         std::atomic<int>* measuredFps, std::atomic<double>* recordedMs, int* outputSize,
                         char* cpuInfo, std::atomic<int>* errorCode, std::atomic<HRESULT>* errorHResult,
                         char** errorText, RECT captureRect) {
    video_record_params_t request;
    request.outputPath = outputPath;
    request.recordVideo = true;
    request.recordSound = recordSound;
    request.recordMicrophone = recordMicrophone;
    request.stopFlag = stopFlag;
    request.pauseFlag = pauseFlag;
    request.cancelFlag = cancelFlag;
    request.maxWidth = maxWidth;
    request.maxHeight = maxHeight;
    request.maxFps = 0;
    request.measuredFps = measuredFps;
    request.recordedMs = recordedMs;
    request.bitrate = 0;
    request.finishedFlag = finishedFlag;
    request.captureRect = ToCvxRect(captureRect);
    request.cpuInfo = cpuInfo;
    request.outputSize = outputSize;
    request.gameVideo = gameVideo;
    request.bitrateCap = 0;
    request.errorCode = errorCode;
    request.errorHResult = errorHResult;
    request.errorText = errorText;
    StartRecording(request, CreateWindowsRecorderPlatform());
}
