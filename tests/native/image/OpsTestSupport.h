#pragma once
// Small fixtures for the image-operation tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/PxImage.h"

namespace opstest {

inline RGBQUAD Rgb(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 0) {
    RGBQUAD c;
    c.rgbRed = r;
    c.rgbGreen = g;
    c.rgbBlue = b;
    c.rgbReserved = a;
    return c;
}

inline bool Same(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

inline std::string Str(const RGBQUAD& c) {
    return "(" + std::to_string(c.rgbRed) + "," + std::to_string(c.rgbGreen) + "," + std::to_string(c.rgbBlue) + "," +
           std::to_string(c.rgbReserved) + ")";
}

// A w x h 24-bit image of one colour.
inline void Solid(PxImage& image, uint32_t w, uint32_t h, RGBQUAD c) {
    image.Create(w, h, 24, PxFormatUnknown);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) image.SetPixelColor(static_cast<long>(x), static_cast<long>(y), c);
}

// Every pixel distinct: red = x, green = y, blue = a mix (for small images).
inline void Numbered(PxImage& image, uint32_t w, uint32_t h) {
    image.Create(w, h, 24, PxFormatUnknown);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            image.SetPixelColor(static_cast<long>(x), static_cast<long>(y),
                                Rgb(static_cast<uint8_t>(x * 7 + 3), static_cast<uint8_t>(y * 11 + 5),
                                    static_cast<uint8_t>((x * 13 + y * 17) & 255)));
}

// Every pixel equals c (red, green, blue); reports the first that does not.
inline ::testing::AssertionResult AllPixels(const PxImage& image, RGBQUAD c) {
    for (long y = 0; y < static_cast<long>(image.GetHeight()); ++y)
        for (long x = 0; x < static_cast<long>(image.GetWidth()); ++x) {
            RGBQUAD p = image.GetPixelColor(x, y, false);
            if (!Same(p, c))
                return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << Str(p) << ", want "
                                                     << Str(c);
        }
    return ::testing::AssertionSuccess();
}

// FNV-1a over size, depth, palette, pixel rows (without padding) and alpha.
inline uint64_t Hash(const PxImage& image, uint64_t h = 1469598103934665603ull) {
    auto mix = [&h](uint8_t b) {
        h ^= b;
        h *= 1099511628211ull;
    };
    auto mix32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) mix(static_cast<uint8_t>(v >> (8 * i)));
    };
    mix32(image.GetWidth());
    mix32(image.GetHeight());
    mix32(image.GetBpp());
    for (long y = 0; y < static_cast<long>(image.GetHeight()); ++y)
        for (long x = 0; x < static_cast<long>(image.GetWidth()); ++x) {
            RGBQUAD c = image.GetPixelColor(x, y, true);
            mix(c.rgbBlue);
            mix(c.rgbGreen);
            mix(c.rgbRed);
            mix(image.AlphaIsValid() ? image.AlphaGet(x, y) : 0);
        }
    return h;
}

}  // namespace opstest
