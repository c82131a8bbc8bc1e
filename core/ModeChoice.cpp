#include "core/ModeChoice.h"

#include "core/CvxVideoMode.h"
#include "core/FrameCheck.h"
#include "foundation/Log.h"

bool IsVideoModeAvailableFor(int mode, const ModeAvailabilityFacts& facts) {
    switch (mode) {
    case CvxVideoModeGdi:
        return true;
    case CvxVideoModeDx9:
        return facts.haveDirect3D9 && facts.monitorCount < 2;
    case CvxVideoModeDxgi:
        if (facts.osMajor < 6 || (facts.osMajor == 6 && facts.osMinor < 2)) return false;
        return facts.monitorCount < 2;
    default:
        return false;
    }
}

bool TrySetScreenCaptureMode(IModeChoiceHost& host, int mode, int& currentMode) {
    if (!host.IsModeAvailable(mode)) return false;
    CvxRect screen = host.VirtualScreen();
    std::vector<uint8_t> frame;
    host.CaptureTestFrame(mode, frame, screen);
    size_t expected = FrameBytes(screen);
    if (expected != 0 && frame.size() == expected) {
        if (_is_black_frame(frame, screen)) {
            currentMode = mode;
            return true;
        }
        Log("CvxInit: VM %d doesnt work. Black screen detected. Switching to GDI.\n", mode);
    }
    Log("_TrySetScreenCaptureMode: VM %d Failed\n", mode);
    currentMode = CvxVideoModeGdi;
    return false;
}

int ChooseScreenCaptureMode(IModeChoiceHost& host, int& currentMode) {
    if (!TrySetScreenCaptureMode(host, CvxVideoModeDxgi, currentMode)) {
        Log("CvxInit: DXGI screen capture mode failed\n");
        if (!TrySetScreenCaptureMode(host, CvxVideoModeDx9, currentMode)) {
            Log("CvxInit: DX9 screen capture mode failed\n");
            currentMode = CvxVideoModeGdi;
        }
    }
    Log("CvxInit: current video mode to %d\n", currentMode);
    return currentMode;
}
