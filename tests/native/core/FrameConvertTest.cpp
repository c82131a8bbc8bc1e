#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/video/FrameConvert.h"

namespace {

// BT.601 limited range in integers, pixel by pixel: what every conversion must give,
// whichever code path the width takes.
I420Picture Reference(const std::vector<uint8_t>& bottomUp, uint32_t w, uint32_t h) {
    I420Picture out;
    out.width = w;
    out.height = h;
    out.y.resize(size_t(w) * h);
    out.u.resize(size_t(w / 2) * (h / 2));
    out.v.resize(out.u.size());
    auto at = [&](uint32_t x, uint32_t y, int c) { return int(bottomUp[(size_t(h - 1 - y) * w + x) * 4 + c]); };
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            out.y[size_t(y) * w + x] =
                uint8_t(((66 * at(x, y, 2) + 129 * at(x, y, 1) + 25 * at(x, y, 0) + 128) >> 8) + 16);
    for (uint32_t y = 0; y < h; y += 2)
        for (uint32_t x = 0; x < w; x += 2) {
            int mean[3];
            for (int c = 0; c < 3; ++c)
                mean[c] = (at(x, y, c) + at(x + 1, y, c) + at(x, y + 1, c) + at(x + 1, y + 1, c) + 2) >> 2;
            const size_t i = size_t(y / 2) * (w / 2) + x / 2;
            out.u[i] = uint8_t(((-38 * mean[2] - 74 * mean[1] + 112 * mean[0] + 128) >> 8) + 128);
            out.v[i] = uint8_t(((112 * mean[2] - 94 * mean[1] - 18 * mean[0] + 128) >> 8) + 128);
        }
    return out;
}

TEST(FrameConverter, SameSizeMatchesTheFormulasAtEveryWidth) {
    // Widths below, at and around the 16-pixel blocks, and a recording's; random pixels
    // plus the extremes of every channel (the largest and smallest sums).
    struct Case {
        uint32_t w, h;
    };
    const Case cases[] = {{2, 2}, {14, 4}, {16, 2}, {18, 6}, {34, 4}, {1280, 8}};
    std::mt19937 random(7);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        std::vector<uint8_t> frame(size_t(c.w) * c.h * 4);
        for (uint8_t& byte : frame) byte = uint8_t(random());
        const uint8_t extremes[][4] = {{255, 255, 255, 0}, {0, 0, 0, 255}, {255, 0, 0, 0}, {0, 0, 255, 0},
                                       {0, 255, 0, 0}, {255, 255, 0, 0}, {0, 255, 255, 0}};
        for (size_t i = 0; i < frame.size() / 4 && i < 4 * 7; ++i)
            std::copy(extremes[i / 4], extremes[i / 4] + 4, frame.begin() + i * 4);
        FrameConverter converter(c.w, c.h, c.w, c.h);
        const I420Picture& got = converter.Convert(frame.data());
        const I420Picture want = Reference(frame, c.w, c.h);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.u, want.u);
        EXPECT_EQ(got.v, want.v);
    }
}

}  // namespace
