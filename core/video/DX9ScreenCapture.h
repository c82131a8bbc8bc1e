#pragma once
#include <memory>

#include "core/CvxRect.h"
#include "core/video/IScreenReader.h"

// Reads the screen through a Direct3D 9 device's front buffer, copied into an
// off-screen system-memory surface. Uses the core's process-wide Direct3D 9 object.
// Windows only.
class DX9ScreenCapture : public IScreenReader {
public:
    // An all-zero area is the display (0, 0, width, height). Throws CvxException (from
    // the failing HRESULT) when the device or the surface cannot be made.
    DX9ScreenCapture(bool captureCursor, const CvxRect& area);
    ~DX9ScreenCapture() override;

    // An empty buffer when the front buffer cannot be copied or the surface locked.
    std::vector<uint8_t>& Read(std::vector<uint8_t>& buffer, uint64_t& time) override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
