#include <gtest/gtest.h>

#include "core/FrameCheck.h"

namespace {

// A w x h frame of one BGRA value, with one pixel changed when asked.
std::vector<uint8_t> Frame(int w, int h, uint32_t bgra, int special = -1, uint32_t specialBgra = 0) {
    std::vector<uint8_t> frame(size_t(w) * h * 4);
    for (int i = 0; i < w * h; ++i) {
        uint32_t v = i == special ? specialBgra : bgra;
        frame[i * 4 + 0] = uint8_t(v);
        frame[i * 4 + 1] = uint8_t(v >> 8);
        frame[i * 4 + 2] = uint8_t(v >> 16);
        frame[i * 4 + 3] = uint8_t(v >> 24);
    }
    return frame;
}

TEST(FrameCheck, JudgesColourNotTheFourthByte) {
    struct Case {
        const char* name;
        int w, h;
        uint32_t fill;        // 0xAARRGGBB
        int special;          // pixel index with another value, or -1
        uint32_t specialValue;
        bool usable;
    };
    const Case kCases[] = {
        {"all zero", 4, 3, 0x00000000, -1, 0, false},
        {"Direct3D black: fourth byte 255", 4, 3, 0xFF000000, -1, 0, false},
        {"only blue anywhere", 4, 3, 0x00000001, -1, 0, true},
        {"only green", 4, 3, 0x00000100, -1, 0, true},
        {"only red", 4, 3, 0x00010000, -1, 0, true},
        {"one blue pixel in the middle", 4, 3, 0xFF000000, 5, 0xFF000080, true},
        {"only the last pixel has colour", 4, 3, 0xFF000000, 11, 0xFF102030, true},
        {"only the first pixel has colour", 4, 3, 0x00000000, 0, 0x00000001, true},
        {"1 x 1 white screen", 1, 1, 0x00FFFFFF, -1, 0, true},
        {"1 x 1 black screen", 1, 1, 0xFF000000, -1, 0, false},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        CvxRect rect{10, 20, 10 + c.w, 20 + c.h};
        EXPECT_EQ(_is_black_frame(Frame(c.w, c.h, c.fill, c.special, c.specialValue), rect), c.usable);
    }
}

TEST(FrameCheck, LooksOnlyInsideBothBufferAndRectangle) {
    // The rectangle claims more pixels than the buffer holds: only the buffer is read.
    std::vector<uint8_t> small = Frame(2, 2, 0);
    EXPECT_FALSE(_is_black_frame(small, CvxRect{0, 0, 100, 100}));
    // Colour beyond the rectangle's size does not count.
    std::vector<uint8_t> frame = Frame(4, 1, 0, 3, 0x00FFFFFF);
    EXPECT_FALSE(_is_black_frame(frame, CvxRect{0, 0, 3, 1}));
    EXPECT_TRUE(_is_black_frame(frame, CvxRect{0, 0, 4, 1}));
    // Empty and inverted rectangles are black.
    EXPECT_FALSE(_is_black_frame(frame, CvxRect{}));
    EXPECT_FALSE(_is_black_frame(frame, CvxRect{4, 0, 0, 1}));
    EXPECT_FALSE(_is_black_frame({}, CvxRect{0, 0, 4, 1}));
}

}  // namespace
