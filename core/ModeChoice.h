#pragma once
#include <cstdint>
#include <vector>

#include "core/CvxRect.h"

// What decides whether a capture back end may be tried on this machine.
struct ModeAvailabilityFacts {
    bool haveDirect3D9 = false;   // Direct3DCreate9 gave an object
    unsigned osMajor = 0;         // 0.0 when the version could not be read
    unsigned osMinor = 0;
    int monitorCount = 0;         // -1 when the monitors could not be enumerated
};

// GDI always; Direct3D 9 with a Direct3D 9 object on fewer than two monitors; DXGI on
// Windows 8 (6.2) or later on fewer than two monitors. A failed monitor count (-1)
// allows both Direct3D modes. Any other mode is unavailable.
bool IsVideoModeAvailableFor(int mode, const ModeAvailabilityFacts& facts);

// The machine as the mode choice sees it; the Win32 core supplies the real one, tests a
// fake.
class IModeChoiceHost {
public:
    virtual ~IModeChoiceHost() = default;
    virtual bool IsModeAvailable(int mode) = 0;
    virtual CvxRect VirtualScreen() = 0;
    // One frame of `area` in `mode` without the cursor; an empty buffer when it failed.
    virtual void CaptureTestFrame(int mode, std::vector<uint8_t>& buffer, const CvxRect& area) = 0;
};

// Makes `mode` current when it is available and its test frame of the whole virtual
// screen has the right size and is not black. Any failure after the availability check
// is logged and leaves GDI current.
bool TrySetScreenCaptureMode(IModeChoiceHost& host, int mode, int& currentMode);

// DXGI first, then Direct3D 9, then GDI, with the start-up log lines; returns the mode
// that became current.
int ChooseScreenCaptureMode(IModeChoiceHost& host, int& currentMode);
