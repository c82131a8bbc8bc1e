#include "core/Cvx.h"

#include "core/Direct3DLibraries.h"
#include "core/MediaFoundationLibrary.h"
#include "core/ModeChoice.h"
#include "core/StillCapture.h"
#include "core/ReaderFactory.h"
#include "core/ScreenshotSessions.h"
#include "foundation/Log.h"

namespace {

// Process-wide core state. Written on the UI thread by CvxInit and CvxReinit; the
// current mode is also read by the recording thread when a session starts.
int g_videoMode = CvxVideoModeGdi;
IDirect3D9* g_direct3d9 = nullptr;
bool g_mediaFoundationStarted = false;
bool g_comInitialized = false;

const SYSTEM_INFO& SystemInfo() {
    static const SYSTEM_INFO info = [] {
        SYSTEM_INFO i{};
        GetSystemInfo(&i);
        return i;
    }();
    return info;
}

// The real machine for the mode choice.
class CoreModeChoiceHost : public IModeChoiceHost {
public:
    bool IsModeAvailable(int mode) override { return CvxIsVideoModeAvailable(mode); }
    CvxRect VirtualScreen() override { return ToCvxRect(CvxGetVirtualScreenRect()); }
    void CaptureTestFrame(int mode, std::vector<uint8_t>& buffer, const CvxRect& area) override {
        uint64_t time = 0;
        CaptureOnceInMode(MakeReaderFactory(), mode, false, buffer, time, area);
    }
};

// Runs before main so that the processor count is known from the start.
const SYSTEM_INFO& g_systemInfoAtStart = SystemInfo();

}  // namespace

int CvxGetProcessorCount() {
    return static_cast<int>(SystemInfo().dwNumberOfProcessors);
}

int CvxGetVideoMode() {
    return g_videoMode;
}

std::string CvxGetVideoModeName() {
    return CvxVideoModeName(g_videoMode);
}

IDirect3D9* CvxGetDirect3D9() {
    return g_direct3d9;
}

bool CvxIsVideoModeAvailable(int mode) {
    ModeAvailabilityFacts facts;
    facts.haveDirect3D9 = g_direct3d9 != nullptr;
    if (mode == CvxVideoModeDxgi) {
        CvxOsVersion version = CvxGetOsVersionNumbers();
        facts.osMajor = version.major;
        facts.osMinor = version.minor;
    }
    if (mode == CvxVideoModeDx9 || mode == CvxVideoModeDxgi) facts.monitorCount = CvxGetMonitorCount();
    return IsVideoModeAvailableFor(mode, facts);
}

bool _TrySetScreenCaptureMode(int mode) {
    CoreModeChoiceHost host;
    return TrySetScreenCaptureMode(host, mode, g_videoMode);
}

bool CvxInit() {
    // A second CvxInit without CvxReinit (tests do that) must not stack up COM, Media
    // Foundation or Direct3D 9 references that nothing would release.
    if (!g_comInitialized) {
        HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (FAILED(hr)) return false;
        g_comInitialized = true;
    }
    CvxGetOsVersion();
    ProcessScreenshotSessions();   // takes the monitor map of the program's start
    Log("CvxInit:cpu cores %d\n", CvxGetProcessorCount());
    CvxOsVersion version = CvxGetOsVersionNumbers();
    Log("CvxInit:win os %d.%d\n", int(version.major), int(version.minor));
    Log("CvxInit:CoInitializeEx ok\n");

    const MediaFoundationFunctions& mf = MediaFoundationLibrary();
    if (!g_mediaFoundationStarted)
        g_mediaFoundationStarted = mf.MFStartup && SUCCEEDED(mf.MFStartup(MF_VERSION, MFSTARTUP_FULL));
    Log(g_mediaFoundationStarted ? "CvxInit: MFStartup ok\n" : "CvxInit: MFStartup failed\n");

    if (g_direct3d9) g_direct3d9->Release();
    const Direct3D9Functions& d3d9 = Direct3D9Library();
    g_direct3d9 = d3d9.Direct3DCreate9 ? d3d9.Direct3DCreate9(D3D_SDK_VERSION) : nullptr;
    Log(g_direct3d9 ? "CvxInit: d3d ok\n" : "CvxInit: d3d failed\n");

    CoreModeChoiceHost host;
    ChooseScreenCaptureMode(host, g_videoMode);
    return true;
}

bool CvxReinit() {
    // Shutting Media Foundation and Direct3D 9 down under a live recorder would pull the
    // writer and the readers out from under it.
    if (CvxIsRecordingActive()) {
        Log("CvxReinit: refused, a recording is running\n");
        return false;
    }
    // The log file is started anew instead of being dropped, so that lines after a
    // change of monitors still reach the support logs.
    if (IsLogFileOpen()) {
        CloseLogFile();
        OpenLogFile();
    }
    if (g_direct3d9) {
        g_direct3d9->Release();
        g_direct3d9 = nullptr;
    }
    if (g_mediaFoundationStarted) {
        if (auto shutdown = MediaFoundationLibrary().MFShutdown) shutdown();
        g_mediaFoundationStarted = false;
    }
    if (g_comInitialized) {
        CoUninitialize();
        g_comInitialized = false;
    }
    return CvxInit();
}
