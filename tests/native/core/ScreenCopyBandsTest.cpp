#include <gtest/gtest.h>

#include "core/video/ScreenCopyBands.h"

namespace {

// Each band of 32-bit rows stays within the band size (a single row may be larger), and
// a large screen is read in a handful of calls.
TEST(ScreenCopyBands, RowsPerBandFitTheBandSize) {
    struct Case {
        int width;
        int rows;
    };
    const Case kCases[] = {
        {1920, 136}, {1280, 204}, {3840, 68}, {1, 262144}, {262144, 1}, {400000, 1}, {0, 1}, {-5, 1},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.width);
        const int rows = ScreenCopyBandRows(c.width);
        EXPECT_EQ(rows, c.rows);
        if (c.width > 0 && rows > 1) {
            EXPECT_LE(size_t(rows) * size_t(c.width) * 4, kScreenCopyBandBytes);
        }
    }
    EXPECT_EQ((1080 + ScreenCopyBandRows(1920) - 1) / ScreenCopyBandRows(1920), 8) << "bands of a 1920x1080 screen";
}

}  // namespace
