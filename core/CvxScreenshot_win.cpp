#include "core/Cvx.h"

#include <shellapi.h>

#include "core/ReaderFactory.h"
#include "core/ScreenshotSessions.h"
#include "core/StillCapture.h"
#include "core/video/DX9ScreenCapture.h"
#include "core/video/DXGIScreenCapture.h"
#include "core/video/GDIScreenCapture.h"

namespace {

MonitorSizeMap CurrentMonitors() {
    MonitorSizeMap map;
    CvxGetMonitorMap(map);
    return map;
}

// A full-screen application in front that the shell reports as busy or as a
// full-screen Direct3D application.
bool FullScreenAppInFront() {
    QUERY_USER_NOTIFICATION_STATE state{};
    if (FAILED(SHQueryUserNotificationState(&state))) return false;
    if (state != QUNS_BUSY && state != QUNS_RUNNING_D3D_FULL_SCREEN) return false;
    HWND foreground = GetForegroundWindow();
    return foreground && CvxIsWindowFullScreen(foreground);
}

}  // namespace

ScreenshotSessions& ProcessScreenshotSessions() {
    static ScreenshotSessions sessions(MakeReaderFactory(), CurrentMonitors, CvxVideoModeGdi);
    return sessions;
}

ReaderFactory MakeReaderFactory() {
    return [](int mode, bool captureCursor, const CvxRect& area) -> std::unique_ptr<IScreenReader> {
        switch (mode) {
        case CvxVideoModeGdi: return std::make_unique<GDIScreenCapture>(captureCursor, area);
        case CvxVideoModeDx9: return std::make_unique<DX9ScreenCapture>(captureCursor, area);
        case CvxVideoModeDxgi: return std::make_unique<DXGIScreenCapture>(captureCursor, area);
        default: return nullptr;
        }
    };
}

int CvxStartScreenshotSessionInMode(int mode, RECT area) {
    return ProcessScreenshotSessions().StartInMode(mode, ToCvxRect(area));
}

int CvxStartScreenshotSession(RECT area) {
    return ProcessScreenshotSessions().Start(CvxGetVideoMode(), ToCvxRect(area));
}

std::vector<uint8_t>& CvxGetScreenshot(int session, std::vector<uint8_t>& buffer, uint64_t& time,
                                       CvxGetScreenshotStatus& status) {
    return ProcessScreenshotSessions().Read(session, buffer, time, status);
}

void CvxTryRefreshScreenshotSession(int session) {
    ProcessScreenshotSessions().TryRefresh(session);
}

void CvxStopScreenshotSession(int session) {
    ProcessScreenshotSessions().Stop(session);
}

int CvxGetScreenshotSessionMode() {
    return ProcessScreenshotSessions().SessionMode();
}

std::vector<uint8_t>& CvxGetScreenshotInMode(int mode, bool captureCursor, std::vector<uint8_t>& buffer,
                                             uint64_t& time, RECT area) {
    return CaptureOnceInMode(MakeReaderFactory(), mode, captureCursor, buffer, time, ToCvxRect(area));
}

const std::vector<uint8_t>& CvxGetScreenshot(bool captureCursor, uint64_t& time, RECT area) {
    static std::vector<uint8_t> still;
    return CaptureStill(MakeReaderFactory(), CvxGetVideoMode(), FullScreenAppInFront(), captureCursor,
                        still, time, ToCvxRect(area));
}
