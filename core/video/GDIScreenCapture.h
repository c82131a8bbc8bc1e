#pragma once
#include <memory>

#include "core/CvxRect.h"
#include "core/video/IScreenReader.h"

// Reads the screen with GDI: BitBlt from the desktop window's DC. Without CAPTUREBLT,
// so layered windows (the recording frame) stay out of the frame. Windows only.
class GDIScreenCapture : public IScreenReader {
public:
    // An all-zero area is the virtual screen. Throws CvxException when the DCs or the
    // bitmap cannot be made.
    GDIScreenCapture(bool captureCursor, const CvxRect& area);
    ~GDIScreenCapture() override;

    // An empty buffer when BitBlt or GetDIBits fails.
    std::vector<uint8_t>& Read(std::vector<uint8_t>& buffer, uint64_t& time) override;

    const CvxRect& Area() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
