#include "core/StillCapture.h"

#include <memory>

#include "core/CvxVideoMode.h"
#include "foundation/Log.h"
#include "foundation/ShotTiming.h"

std::vector<uint8_t>& CaptureOnceInMode(const ReaderFactory& factory, int mode, bool captureCursor,
                                        std::vector<uint8_t>& buffer, uint64_t& time,
                                        const CvxRect& area) {
    Log("CvxGetScreenshot: capture with video mode %d\n", mode);
    if (mode < CvxVideoModeGdi || mode > CvxVideoModeDxgi) {
        buffer.clear();
        return buffer;
    }
    try {
        std::unique_ptr<IScreenReader> reader = factory(mode, captureCursor, area);
        if (!reader) {
            buffer.clear();
            return buffer;
        }
        // A fresh reader: whatever the buffer held is not an image of this read.
        buffer.clear();
        reader->Read(buffer, time);
    } catch (...) {
        Log("CvxGetScreenshot: failed\n");
        buffer.clear();
    }
    return buffer;
}

namespace {

void MakeOpaque(std::vector<uint8_t>& buffer) {
    for (size_t i = 3; i < buffer.size(); i += 4) buffer[i] = 255;
}

}  // namespace

std::vector<uint8_t>& CaptureStill(const ReaderFactory& factory, int currentMode,
                                   bool fullScreenAppInFront, bool captureCursor,
                                   std::vector<uint8_t>& buffer, uint64_t& time,
                                   const CvxRect& area) {
    if (fullScreenAppInFront) {
        CaptureOnceInMode(factory, currentMode, captureCursor, buffer, time, area);
        if (!buffer.empty() || currentMode == CvxVideoModeGdi) {
            MakeOpaque(buffer);
            return buffer;
        }
        Log("CvxGetScreenshot: capture in GDI mode\n");
    }
    CaptureOnceInMode(factory, CvxVideoModeGdi, captureCursor, buffer, time, area);
    ShotTiming::Mark("capture");
    MakeOpaque(buffer);
    ShotTiming::Mark("opaque");
    return buffer;
}
