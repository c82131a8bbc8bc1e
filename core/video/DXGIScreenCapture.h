#pragma once
#include <memory>

#include "core/CvxRect.h"
#include "core/video/IScreenReader.h"

// Reads the first output through DXGI 1.2 desktop duplication (Windows 8 and later).
// Windows only.
class DXGIScreenCapture : public IScreenReader {
public:
    // An all-zero area is the whole output. Throws CvxException when the device, the
    // duplication or its textures cannot be made.
    DXGIScreenCapture(bool captureCursor, const CvxRect& area);
    ~DXGIScreenCapture() override;

    // The first read waits for the desktop (up to about a second); later reads return at
    // once and leave the buffer alone when nothing changed. Throws the core::video DXGI
    // exceptions on failures.
    std::vector<uint8_t>& Read(std::vector<uint8_t>& buffer, uint64_t& time) override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
