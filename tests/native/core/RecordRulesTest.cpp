#include <gtest/gtest.h>

#include "core/video/RecordRules.h"

namespace {

RecordRequestLimits Limits(uint32_t cpus, bool dxgi, int w, int h, int maxW = 0, int maxH = 0, int maxFps = 0,
                           bool game = false) {
    RecordRequestLimits l;
    l.processorCount = cpus;
    l.dxgiMode = dxgi;
    l.captureWidth = w;
    l.captureHeight = h;
    l.maxWidth = maxW;
    l.maxHeight = maxH;
    l.maxFps = maxFps;
    l.gameVideo = game;
    return l;
}

TEST(RecordRules, MachineClassesSettleFrameRateSizeAndBitrate) {
    struct Case {
        const char* what;
        RecordRequestLimits in;
        MachineClass machine;
        int fps;
        CvxSize out;
        uint32_t bitrate;
    };
    const Case cases[] = {
        {"8 cpus, DXGI, no limits", Limits(8, true, 1366, 768), MachineClass::Fast, 30, {1366, 768}, 8000000},
        {"game video adds 10 %", Limits(8, true, 1366, 768, 0, 0, 0, true), MachineClass::Fast, 30, {1366, 768},
         8800000},
        {"limits 1280x720", Limits(8, true, 1366, 768, 1280, 720), MachineClass::Fast, 30, {1280, 720}, 3200000},
        {"fast: DXGI is 30 whatever maxFps says", Limits(6, true, 640, 360, 0, 0, 12), MachineClass::Fast, 30,
         {640, 360}, 960000},
        {"fast, GDI: maxFps", Limits(6, false, 640, 360, 0, 0, 12), MachineClass::Fast, 12, {640, 360}, 960000},
        {"fast, GDI: 25", Limits(16, false, 3840, 2160), MachineClass::Fast, 25, {1920, 1080}, 8000000},
        {"middle, DXGI: 25, 1280x720", Limits(4, true, 1920, 1080), MachineClass::Middle, 25, {1280, 720}, 3200000},
        {"middle, GDI: 20", Limits(5, false, 1920, 1080), MachineClass::Middle, 20, {1280, 720}, 3200000},
        {"middle: maxFps", Limits(5, true, 320, 240, 0, 0, 15), MachineClass::Middle, 15, {320, 240}, 640000},
        {"slow, DXGI: 10, halved, 800x600", Limits(3, true, 1600, 1200), MachineClass::Slow, 10, {800, 600},
         1600000},
        {"slow ignores game video", Limits(3, false, 1600, 1200, 0, 0, 0, true), MachineClass::Slow, 6, {800, 600},
         1600000},
        {"one zero limit means the default for both", Limits(8, false, 2560, 1440, 1000, 0), MachineClass::Fast, 25,
         {1920, 1080}, 8000000},
        {"limits larger than the area", Limits(8, false, 320, 240, 1920, 1080), MachineClass::Fast, 25, {320, 240},
         640000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RecordSettings s = SettleRecordSettings(c.in);
        EXPECT_EQ(s.machine, c.machine);
        EXPECT_EQ(s.fps, c.fps);
        EXPECT_EQ(s.output.width, c.out.width);
        EXPECT_EQ(s.output.height, c.out.height);
        EXPECT_EQ(s.bitrate, c.bitrate);
    }
}

TEST(RecordRules, BitrateRequestAndCap) {
    RecordRequestLimits l = Limits(8, false, 1920, 1080);
    l.bitrateCap = 5000000;
    EXPECT_EQ(SettleRecordSettings(l).bitrate, 5000000u) << "the cap limits";
    l.bitrateCap = 9000000;
    EXPECT_EQ(SettleRecordSettings(l).bitrate, 8000000u) << "a cap above leaves it";
    l.bitrate = 12000000;
    EXPECT_EQ(SettleRecordSettings(l).bitrate, 9000000u) << "a requested bitrate is capped too";
}

TEST(RecordRules, DefaultBitrateTableFirstMatchWins) {
    struct Case { int w, h; uint32_t bits; };
    const Case cases[] = {
        {424, 240, 640000},     {425, 240, 960000},      {424, 241, 960000},   {640, 360, 960000},
        {768, 432, 1200000},    {848, 480, 1600000},     {1024, 576, 2240000}, {1280, 720, 3200000},
        {1281, 100, 8000000},   {1920, 1080, 8000000},   {2560, 1600, 16000000}, {2561, 1600, 20000000},
        {100, 1601, 20000000},  {0, 0, 640000},
    };
    for (const Case& c : cases) EXPECT_EQ(GetDefaultBitrate(c.w, c.h), c.bits) << c.w << "x" << c.h;
}

TEST(RecordRules, FitSize) {
    struct Case { int w, h, maxW, maxH; CvxSize out; };
    const Case cases[] = {
        {1366, 768, 1280, 720, {1280, 720}},    // ratios 0.937 and 0.9375
        {1366, 768, 1366, 768, {1366, 768}},    // fits: unchanged
        {1000, 600, 500, 600, {500, 300}},
        {1000, 600, 400, 1000, {400, 240}},
        {100, 100, 51, 200, {50, 50}},          // 51 x 51 rounded up, odd: one less each
    };
    for (const Case& c : cases) {
        const CvxSize s = CvxFitSize(c.w, c.h, c.maxW, c.maxH);
        EXPECT_EQ(s.width, c.out.width) << c.w << "x" << c.h << " in " << c.maxW << "x" << c.maxH;
        EXPECT_EQ(s.height, c.out.height) << c.w << "x" << c.h << " in " << c.maxW << "x" << c.maxH;
    }
}

TEST(RecordRules, OddCaptureRectLosesItsLastColumnAndRow) {
    EXPECT_EQ(EvenCaptureRect(CvxRect{0, 0, 1001, 601}), (CvxRect{0, 0, 1000, 600}));
    EXPECT_EQ(EvenCaptureRect(CvxRect{-7, 3, 10, 12}), (CvxRect{-7, 3, 9, 11}));
    EXPECT_EQ(EvenCaptureRect(CvxRect{2, 2, 10, 10}), (CvxRect{2, 2, 10, 10}));
    // The odd area is made even before anything else: its settings follow 1000x600.
    const CvxRect even = EvenCaptureRect(CvxRect{0, 0, 1001, 601});
    const RecordSettings s = SettleRecordSettings(Limits(8, false, even.Width(), even.Height()));
    EXPECT_EQ(s.output, (CvxSize{1000, 600}));
}

TEST(RecordRules, CpuDescription) {
    struct Case { const char* brand; uint32_t cpus; const char* out; };
    const Case cases[] = {
        {"Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz", 12, "i7,3.20,12"},
        {"Intel(R) Core(TM) i5-1135G7 @ 2.40GHz", 8, "i5,2.40,8"},
        {"Intel(R) Core(TM) i3 i9 @ 1GHz", 2, "i9,1,2"},   // the last in order wins
        {"Intel(R) Xeon(R) CPU E5-2680", 4, "I,?hz,4"},
        {"Intel(R) Pentium(R) CPU @ 2.90 GHz", 2, "I,2.90 ,2"},  // the text between the two
        {"Intel(R) Pentium(R) CPU @ 2900MHz", 2, "I,?hz,2"},
        {"AMD Ryzen 7 5800X 8-Core Processor", 16, "r7,?hz,16"},
        {"AMD Ryzen Threadripper", 32, "r?,?hz,32"},
        {"AMD Athlon(tm) II X4 640 Processor", 4, "atx4,?hz,4"},
        {"AMD Athlon(tm) 64 Processor", 1, "at?,?hz,1"},
        {"AMD FX(tm)-8350 Eight-Core Processor", 8, "fx?,?hz,8"},
        {"AMD Phenom(tm) II", 6, "A,?hz,6"},
        {"", 3, "?,?hz,3"},
        {"VIA Nano @ 1.60GHz", 1, "?,1.60,1"},
    };
    for (const Case& c : cases) EXPECT_EQ(GetCpuDescription(c.brand, c.cpus), c.out) << c.brand;
}

TEST(RecordRules, SlowComputerAndMemoryCap) {
    EXPECT_TRUE(IsSlowComputer(1));
    EXPECT_TRUE(IsSlowComputer(3));
    EXPECT_FALSE(IsSlowComputer(4));
    EXPECT_EQ(SettleRecordSettings(Limits(3, false, 64, 64)).memoryAllowance, 157286400u);
    EXPECT_EQ(SettleRecordSettings(Limits(4, false, 64, 64)).memoryAllowance, 838860800u);
    EXPECT_EQ(SettleRecordSettings(Limits(8, false, 64, 64)).memoryAllowance, 838860800u);
    EXPECT_EQ(RecordMemoryCap(50000000, 838860800), 104857600u + 50000000u + 838860800u);
}

}  // namespace
