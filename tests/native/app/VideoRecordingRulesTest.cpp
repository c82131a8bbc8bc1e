#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/VideoRecordingRules.h"

namespace {

const CvxRect kScreen = {0, 0, 1920, 1080};

TEST(VideoRecordingRulesTest, AreaTable) {
    struct Case {
        const char* name;
        CvxRect selection, screen, expected;
    };
    const Case cases[] = {
        {"small: 48 x 48 centred", {100, 100, 131, 120}, kScreen, {91, 86, 139, 134}},
        {"odd sides lose a column and a row", {10, 20, 111, 81}, kScreen, {10, 20, 110, 80}},
        {"even and large: unchanged", {200, 200, 600, 500}, kScreen, {200, 200, 600, 500}},
        {"small at the top-left corner: shifted back inside", {0, 0, 20, 10}, kScreen, {0, 0, 48, 48}},
        {"small at the bottom-right corner", {1910, 1075, 1920, 1080}, kScreen, {1872, 1032, 1920, 1080}},
        {"negative origin of the virtual screen", {-1920, -5, -1900, 5}, {-1920, -100, 1920, 1080},
         {-1920, -24, -1872, 24}},
    };
    for (const Case& c : cases) {
        CvxRect a = AdjustVideoArea(c.selection, c.screen);
        EXPECT_EQ(a, c.expected) << c.name << ": " << a.left << "," << a.top << "," << a.right << "," << a.bottom;
        EXPECT_EQ(a.Width() % 2, 0) << c.name;
        EXPECT_EQ(a.Height() % 2, 0) << c.name;
        EXPECT_GE(a.Width(), 48) << c.name;
    }
}

TEST(VideoRecordingRulesTest, OutputPaths) {
    std::set<std::wstring> taken;
    auto exists = [&](const std::wstring& p) { return taken.count(p) != 0; };
    const std::wstring name = L"Video 03-05-2026 091502";
    EXPECT_EQ(MakeLocalVideoPath(L"C:\\videos", name, exists), L"C:\\videos\\Video 03-05-2026 091502.mp4");
    EXPECT_EQ(MakeLocalVideoPath(L"C:\\videos\\", name, exists), L"C:\\videos\\Video 03-05-2026 091502.mp4");
    // Same second (a restart right after an undo): the earlier files stay.
    taken.insert(L"C:\\videos\\Video 03-05-2026 091502.mp4");
    EXPECT_EQ(MakeLocalVideoPath(L"C:\\videos", name, exists), L"C:\\videos\\Video 03-05-2026 091502 (2).mp4");
    taken.insert(L"C:\\videos\\Video 03-05-2026 091502 (2).mp4");
    EXPECT_EQ(MakeLocalVideoPath(L"C:\\videos", name, exists), L"C:\\videos\\Video 03-05-2026 091502 (3).mp4");

    std::wstring a = MakeUploadVideoPath(L"C:\\tmp\\brivane");
    std::wstring b = MakeUploadVideoPath(L"C:\\tmp\\brivane");
    const std::wstring prefix = L"C:\\tmp\\brivane\\";
    ASSERT_EQ(a.size(), prefix.size() + 16 + 4);
    EXPECT_EQ(a.compare(0, prefix.size(), prefix), 0);
    EXPECT_EQ(a.substr(a.size() - 4), L".mp4");
    for (size_t i = prefix.size(); i < prefix.size() + 16; ++i) EXPECT_TRUE(iswalnum(a[i])) << i;
    EXPECT_NE(a, b);
}

TEST(VideoRecordingRulesTest, PanelLayout) {
    // The panel is as large as its background: x0 = 0; buttons of 40 px.
    PanelLayout l = ComputePanelLayout(283, 40, 283, 40, 40);
    EXPECT_EQ(l.x0, 0);
    EXPECT_EQ(l.y0, 0);
    EXPECT_EQ(l.restartX, 0);
    EXPECT_EQ(l.resumeX, 40);
    EXPECT_EQ(l.pauseX, 40);
    EXPECT_EQ(l.cancelX, 200);
    EXPECT_EQ(l.stopX, 240);
    EXPECT_EQ(l.barX, 90);
    EXPECT_EQ(l.timeX, 124);
    EXPECT_EQ(l.timeY, 2);
    // A larger client: centred (floor of both halves) and bottom-aligned.
    l = ComputePanelLayout(301, 50, 283, 40, 40);
    EXPECT_EQ(l.x0, 150 - 141);
    EXPECT_EQ(l.y0, 10);
    EXPECT_EQ(l.stopX, 9 + 240);
}

TEST(VideoRecordingRulesTest, PercentAndClock) {
    struct Case {
        int64_t limit, elapsed;
        float percent;
        const wchar_t* time;
    };
    const Case cases[] = {
        {0, 0, 0.0f, L"00:00"},                // before the first progress message
        {0, 61500, 0.0f, L"01:01"},            // no limit: empty bar, the time counts
        {14400000, 61500, 0.0f, L"01:01"},     // 0.43 % truncates to 0
        {1000, 999, 99.0f, L"00:00"},
        {60000, 30000, 50.0f, L"00:30"},
        {1800000, 1800000, 100.0f, L"30:00"},
        {14400000, 14399999, 99.0f, L"239:59"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PanelPercent(c.limit, c.elapsed), c.percent) << c.elapsed;
        EXPECT_EQ(PanelTimeText(c.elapsed), c.time) << c.elapsed;
    }
}

TEST(VideoRecordingRulesTest, ProgressBarSteps) {
    const int x = 90, y = 0, bgW = 101, lastW = 2;
    auto steps = ProgressBarSteps(x, y, 0.0f, bgW, lastW);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].picture, BarPicture::Background);

    // 2.3 rounds up to 3 steps: first at x, middles at x+2 and x+3.
    steps = ProgressBarSteps(x, y, 2.3f, bgW, lastW);
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[1].picture, BarPicture::First);
    EXPECT_EQ(steps[1].x, x);
    EXPECT_EQ(steps[2].picture, BarPicture::Middle);
    EXPECT_EQ(steps[2].x, x + 2);
    EXPECT_EQ(steps[3].x, x + 3);

    // Full, and more than full: 100 steps, the last two the end picture at the far edge.
    for (float v : {100.0f, 250.0f}) {
        steps = ProgressBarSteps(x, y, v, bgW, lastW);
        ASSERT_EQ(steps.size(), 101u);
        for (int i = 2; i <= 98; ++i) {
            EXPECT_EQ(steps[i].picture, BarPicture::Middle);
            EXPECT_EQ(steps[i].x, x + i);
        }
        EXPECT_EQ(steps[99].picture, BarPicture::Last);
        EXPECT_EQ(steps[99].x, x + bgW - lastW);
        EXPECT_EQ(steps[100].picture, BarPicture::Last);
        EXPECT_EQ(steps[100].x, x + bgW - lastW);
    }
    EXPECT_EQ(ProgressBarSteps(x, y, -5.0f, bgW, lastW).size(), 1u);
}

}  // namespace
