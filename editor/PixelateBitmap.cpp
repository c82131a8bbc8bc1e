#include "editor/PixelateBitmap.h"

#include <cstddef>
#include <initializer_list>

void PixelatePixels(uint8_t* pixels, int width, int height) {
    for (int block : {8, 4, 2}) PixelatePass(pixels, width, height, block);
}

void PixelatePass(uint8_t* pixels, int width, int height, int b) {
    if (!pixels || width <= 0 || height <= 0 || b <= 0) return;
    const size_t stride = static_cast<size_t>(width) * 4;
    {
        const unsigned area = static_cast<unsigned>(b * b);
        for (int x = b / 2; x < width - b; x += b) {
            for (int y = b / 2; y < height - b; y += b) {
                unsigned sum[3] = {0, 0, 0};
                for (int row = y; row < y + b; ++row) {
                    const uint8_t* p = pixels + row * stride + static_cast<size_t>(x) * 4;
                    for (int col = 0; col < b; ++col, p += 4) {
                        sum[0] += p[0];
                        sum[1] += p[1];
                        sum[2] += p[2];
                    }
                }
                for (int row = y; row < y + b; ++row) {
                    uint8_t* p = pixels + row * stride + static_cast<size_t>(x) * 4;
                    for (int col = 0; col < b; ++col, p += 4) {
                        p[0] = static_cast<uint8_t>(sum[0] / area);
                        p[1] = static_cast<uint8_t>(sum[1] / area);
                        p[2] = static_cast<uint8_t>(sum[2] / area);
                    }
                }
            }
        }
    }
}
