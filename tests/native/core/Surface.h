#pragma once
#include <cstdint>
#include <vector>

// A top-down 32-bit test surface whose every pixel tells where it is: blue = x,
// green = y, red = 0x5A, fourth byte 0xFF. Rows may carry padding, filled with 0xEE, so
// that a copy that reads past a row's end shows.
struct TestSurface {
    int width = 0;
    int height = 0;
    int pitch = 0;
    std::vector<uint8_t> bytes;

    TestSurface(int w, int h, int padPixels = 0) : width(w), height(h), pitch((w + padPixels) * 4) {
        bytes.assign(size_t(pitch) * h, 0xEE);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = &bytes[size_t(y) * pitch + size_t(x) * 4];
                p[0] = uint8_t(x);
                p[1] = uint8_t(y);
                p[2] = 0x5A;
                p[3] = 0xFF;
            }
    }
    const uint8_t* Pixel(int x, int y) const { return &bytes[size_t(y) * pitch + size_t(x) * 4]; }
    uint8_t* Pixel(int x, int y) { return &bytes[size_t(y) * pitch + size_t(x) * 4]; }
};

// Pixel (x, y) of a bottom-up frame of the given width and height, counted from the top.
inline const uint8_t* BottomUpPixel(const std::vector<uint8_t>& frame, int width, int height, int x,
                                    int y) {
    return &frame[(size_t(height - 1 - y) * width + x) * 4];
}
