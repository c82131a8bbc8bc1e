#include "core/Cvx.h"

#include "foundation/Format.h"
#include "foundation/VirtualScreen.h"

namespace {

CvxOsVersion g_osVersion;
bool g_osVersionRead = false;

BOOL CALLBACK CountMonitor(HMONITOR, HDC, LPRECT, LPARAM data) {
    ++*reinterpret_cast<int*>(data);
    return TRUE;
}

BOOL CALLBACK CvxMonitorMapEnumProc(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    MONITORINFOEXW info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);  // a failure enters the zeroed values
    info.szDevice[CCHDEVICENAME - 1] = L'\0';
    AddMonitor(*reinterpret_cast<MonitorSizeMap*>(data), info.szDevice,
               info.rcMonitor.right - info.rcMonitor.left, info.rcMonitor.bottom - info.rcMonitor.top);
    return TRUE;
}

}  // namespace

CvxRect ToCvxRect(const RECT& rect) {
    return CvxRect{static_cast<int32_t>(rect.left), static_cast<int32_t>(rect.top),
                   static_cast<int32_t>(rect.right), static_cast<int32_t>(rect.bottom)};
}

RECT ToRECT(const CvxRect& rect) {
    RECT r;
    r.left = rect.left;
    r.top = rect.top;
    r.right = rect.right;
    r.bottom = rect.bottom;
    return r;
}

int CvxGetMonitorCount() {
    int count = 0;
    if (!EnumDisplayMonitors(nullptr, nullptr, CountMonitor, reinterpret_cast<LPARAM>(&count))) return -1;
    return count;
}

void CvxGetMonitorMap(MonitorSizeMap& map) {
    EnumDisplayMonitors(nullptr, nullptr, CvxMonitorMapEnumProc, reinterpret_cast<LPARAM>(&map));
}

bool CvxIsWindowFullScreen(HWND window) {
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT rect{};
    if (!monitor || !GetMonitorInfoW(monitor, &info) || !GetWindowRect(window, &rect)) return false;
    return rect.right - rect.left == info.rcMonitor.right - info.rcMonitor.left &&
           rect.bottom - rect.top == info.rcMonitor.bottom - info.rcMonitor.top;
}

RECT CvxGetVirtualScreenRect() {
    return VirtualScreenRect();
}

void CvxGetOsVersion() {
    if (g_osVersionRead) return;
    g_osVersionRead = true;
    using RtlGetVersionFn = LONG(WINAPI*)(RTL_OSVERSIONINFOEXW*);
    HMODULE ntdll = GetModuleHandleA("ntdll");
    auto rtlGetVersion =
        ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
              : nullptr;
    if (!rtlGetVersion) return;
    // The extended structure, whose size the call is told: RtlGetVersion fills as much
    // as the size field announces.
    RTL_OSVERSIONINFOEXW info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion(&info) != 0) return;
    g_osVersion.major = info.dwMajorVersion;
    g_osVersion.minor = info.dwMinorVersion;
    g_osVersion.build = info.dwBuildNumber;
}

CvxOsVersion CvxGetOsVersionNumbers() {
    CvxGetOsVersion();
    return g_osVersion;
}

std::string CvxGetOsVersionString() {
    return FormatA("{}.{}.{}")
        .ArgInt(int(g_osVersion.major))
        .ArgInt(int(g_osVersion.minor))
        .ArgInt(int(g_osVersion.build))
        .Str();
}
