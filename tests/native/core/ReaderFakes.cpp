#include "ReaderFakes.h"

#include "core/video/DXGIException.h"

void FakeDuplication::TakeFrame() {
    log.Add("take");
    if (takeThrows) throw core::video::DXGIException(L"lDesktopResource->QueryInterface", int32_t(0x80004002u));
}

void FakeDuplication::DrawMonochromeCursor(int x, int y) {
    log.Add("mono " + std::to_string(x) + "," + std::to_string(y));
    if (monochromeThrows) throw core::video::DXGIException(L"lGDIImage->QueryInterface", int32_t(0x80004002u));
    if (x >= 0 && y >= 0 && x < surface.width && y < surface.height)
        std::copy(kMonochromePixel, kMonochromePixel + 4, surface.Pixel(x, y));
}
