#include "app/ScreenImage.h"

bool ScreenImageFromCapture(const uint8_t* bgrx, uint32_t width, uint32_t height, PxImage& image) {
    if (!bgrx || !image.Create(width, height, 24, PxFormatUnknown)) return false;
    const size_t sourceRow = static_cast<size_t>(width) * 4;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* src = bgrx + sourceRow * y;
        uint8_t* dst = image.GetBits(y);
        for (uint32_t x = 0; x < width; ++x, src += 4, dst += 3) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
    return true;
}
