#include "core/FullScreenGameTracker.h"

#include "core/Cvx.h"
#include "foundation/Log.h"

namespace {

MonitorSizeMap CurrentMonitors() {
    MonitorSizeMap map;
    CvxGetMonitorMap(map);
    return map;
}

}  // namespace

FullScreenGameTracker::FullScreenGameTracker() : FullScreenGameTracker(CurrentMonitors, MonotonicTicks) {}

bool FullScreenGameTracker::IsFullScreenAppActive() {
    HWND foreground = GetForegroundWindow();
    if (!foreground || !CvxIsWindowFullScreen(foreground)) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(foreground, &process);
    if (process == GetCurrentProcessId()) return false;
    Log("FullScreenGameTracker: Fullscreen app detected\n");
    return true;
}
