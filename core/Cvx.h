#pragma once
// The capture core's API. Windows only: the portable parts behind it have their own
// headers (ModeChoice.h, ScreenshotSessions.h, StillCapture.h, ...).
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/CvxGetScreenshotStatus.h"
#include "core/CvxRect.h"
#include "core/CvxVideoMode.h"
#include "core/FrameCheck.h"
#include "core/MonitorSizeMap.h"
#include "core/QpcTime.h"

struct IDirect3D9;

// --- Start-up and capture mode (UI thread) ---

// Initialises COM (single-threaded apartment) on the calling thread, reads the OS
// version, starts Media Foundation, creates the Direct3D 9 object and chooses the
// capture mode: DXGI, then Direct3D 9, then GDI. False only when COM cannot be
// initialised.
bool CvxInit();
// After a change in the number of monitors: starts the log file anew, releases
// Direct3D 9, Media Foundation and COM, and runs CvxInit again. Refused (false, logged)
// while a recording runs.
bool CvxReinit();

int CvxGetVideoMode();
// "{gdi}", "dx9", "{dxgi}" or "{?}" for the current mode.
std::string CvxGetVideoModeName();
bool CvxIsVideoModeAvailable(int mode);
// Makes `mode` current when it is available and its test frame is usable.
bool _TrySetScreenCaptureMode(int mode);

// --- The machine ---

// Number of monitors; -1 when they cannot be enumerated.
int CvxGetMonitorCount();
// The window is as wide and as high as its monitor (positions are not compared).
bool CvxIsWindowFullScreen(HWND window);
RECT CvxGetVirtualScreenRect();
// Reads the OS version once per process (RtlGetVersion; 0.0.0 when missing).
void CvxGetOsVersion();
// "major.minor.build".
std::string CvxGetOsVersionString();
struct CvxOsVersion {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
};
// The version read by CvxGetOsVersion (which it calls).
CvxOsVersion CvxGetOsVersionNumbers();
int CvxGetProcessorCount();
void CvxGetMonitorMap(MonitorSizeMap& map);

// --- Capture sessions (recording thread) ---

int CvxStartScreenshotSessionInMode(int mode, RECT area);
// In the current mode, falling back to GDI; the id or -1.
int CvxStartScreenshotSession(RECT area);
std::vector<uint8_t>& CvxGetScreenshot(int session, std::vector<uint8_t>& buffer, uint64_t& time,
                                       CvxGetScreenshotStatus& status);
void CvxTryRefreshScreenshotSession(int session);
void CvxStopScreenshotSession(int session);
// The mode of the last session that started.
int CvxGetScreenshotSessionMode();

// --- Recording (any thread; the work runs on a thread of its own) ---

// Records `captureRect` (all zero: the virtual screen) into the MP4 file `outputPath`.
// Returns at once; the results come back through the pointers, which must stay valid
// until *finishedFlag is true. One recording at a time: while one runs, a second request
// sets *errorCode to CvxRecordError_AlreadyRecording and *finishedFlag to true at once.
// *errorText always receives null. outputSize (two ints), cpuInfo (at least 64 chars),
// measuredFps and errorText may be null.
void CvxRecordVideoAsync(const wchar_t* outputPath, bool gameVideo, int maxWidth, int maxHeight,
                         bool recordSound, bool recordMicrophone, std::atomic<bool>* stopFlag,
                         std::atomic<bool>* pauseFlag, std::atomic<bool>* cancelFlag,
                         std::atomic<bool>* finishedFlag, std::atomic<int>* measuredFps,
                         std::atomic<double>* recordedMs, int* outputSize, char* cpuInfo,
                         std::atomic<int>* errorCode, std::atomic<HRESULT>* errorHResult,
                         char** errorText, RECT captureRect);
// True from a CvxRecordVideoAsync until right before its *finishedFlag is set.
bool CvxIsRecordingActive();

// --- Still screenshots (UI thread) ---

// One read in `mode`; empty on failure.
std::vector<uint8_t>& CvxGetScreenshotInMode(int mode, bool captureCursor, std::vector<uint8_t>& buffer,
                                             uint64_t& time, RECT area);
// A still screenshot of `area` (all zero: the virtual screen): bottom-up 32-bit rows with
// the fourth byte 255. The buffer is shared by all still captures and valid until the
// next one; empty when the screenshot failed.
const std::vector<uint8_t>& CvxGetScreenshot(bool captureCursor, uint64_t& time, RECT area);

// --- For the recorder ---

IDirect3D9* CvxGetDirect3D9();

CvxRect ToCvxRect(const RECT& rect);
RECT ToRECT(const CvxRect& rect);
