#include "core/video/RecordRules.h"

#include <algorithm>
#include <cmath>

#include "foundation/Format.h"

namespace {

constexpr uint64_t kLargeAllowance = 838860800;   // 800 MiB
constexpr uint64_t kSmallAllowance = 157286400;   // 150 MiB

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

std::string CpuFamily(const std::string& brand) {
    std::string family = "?";
    if (Contains(brand, "Intel")) {
        family = "I";
        for (const char* model : {"i3", "i5", "i7", "i8", "i9"})
            if (Contains(brand, model)) family = model;
    } else if (Contains(brand, "AMD")) {
        family = "A";
        if (Contains(brand, "Ryzen")) family = "r?";
        static const char* const ryzens[][2] = {{"Ryzen 3", "r3"}, {"Ryzen 5", "r5"}, {"Ryzen 6", "r6"},
                                                {"Ryzen 7", "r7"}, {"Ryzen 8", "r8"}};
        for (const auto& r : ryzens)
            if (Contains(brand, r[0])) family = r[1];
        const size_t athlon = brand.find("Athlon");
        if (athlon != std::string::npos) {
            family = "at?";
            static const char* const models[][2] = {{"X2", "atx2"}, {"X3", "atx3"}, {"X4", "atx4"}, {"X5", "atx5"}};
            for (const auto& m : models)
                if (brand.find(m[0], athlon) != std::string::npos) family = m[1];
        }
        if (Contains(brand, "FX")) family = "fx?";
    }
    return family;
}

std::string CpuClock(const std::string& brand) {
    const size_t at = brand.find("@ ");
    if (at == std::string::npos) return "?hz";
    const size_t ghz = brand.find("GHz", at + 2);
    if (ghz == std::string::npos) return "?hz";
    return brand.substr(at + 2, ghz - (at + 2));
}

}  // namespace

bool IsSlowComputer(uint32_t processorCount) {
    return processorCount < 4;
}

MachineClass ClassifyMachine(uint32_t processorCount) {
    if (processorCount >= 6) return MachineClass::Fast;
    if (processorCount >= 4) return MachineClass::Middle;
    return MachineClass::Slow;
}

uint32_t GetDefaultBitrate(int width, int height) {
    static const struct { int w, h; uint32_t bits; } table[] = {
        {424, 240, 640000},    {640, 360, 960000},     {768, 432, 1200000},   {848, 480, 1600000},
        {1024, 576, 2240000},  {1280, 720, 3200000},   {1920, 1080, 8000000}, {2560, 1600, 16000000},
    };
    for (const auto& row : table)
        if (width <= row.w && height <= row.h) return row.bits;
    return 20000000;
}

CvxSize CvxFitSize(int width, int height, int maxWidth, int maxHeight) {
    const float rw = float(uint32_t(maxWidth)) / float(uint32_t(width));
    const float rh = float(uint32_t(maxHeight)) / float(uint32_t(height));
    CvxSize size{width, height};
    if (rw < 1.0f || rh < 1.0f) {
        const float s = std::min(rw, rh);
        size.width = int(std::ceil(float(width) * s));
        size.height = int(std::ceil(float(height) * s));
        if (size.width > 0 && size.width % 2 == 1) --size.width;
        if (size.height > 0 && size.height % 2 == 1) --size.height;
    }
    return size;
}

std::string GetCpuDescription(const std::string& brand, uint32_t processorCount) {
    return FormatA("{},{},{}").Arg(CpuFamily(brand)).Arg(CpuClock(brand)).ArgInt(int(processorCount)).Str();
}

CvxRect EvenCaptureRect(const CvxRect& rect) {
    CvxRect even = rect;
    if (even.Width() % 2 != 0) --even.right;
    if (even.Height() % 2 != 0) --even.bottom;
    return even;
}

RecordSettings SettleRecordSettings(const RecordRequestLimits& in) {
    RecordSettings out;
    out.machine = ClassifyMachine(in.processorCount);
    int defaultWidth = 0, defaultHeight = 0;
    switch (out.machine) {
    case MachineClass::Fast:
        out.memoryAllowance = kLargeAllowance;
        out.fps = in.dxgiMode ? 30 : (in.maxFps ? in.maxFps : 25);
        defaultWidth = 1920;
        defaultHeight = 1080;
        break;
    case MachineClass::Middle:
        out.memoryAllowance = kLargeAllowance;
        out.fps = in.maxFps ? in.maxFps : (in.dxgiMode ? 25 : 20);
        defaultWidth = 1280;
        defaultHeight = 720;
        break;
    case MachineClass::Slow:
        out.memoryAllowance = kSmallAllowance;
        out.fps = in.maxFps ? in.maxFps : (in.dxgiMode ? 10 : 6);
        defaultWidth = 800;
        defaultHeight = 600;
        break;
    }
    out.maxWidth = in.maxWidth;
    out.maxHeight = in.maxHeight;
    if (out.maxWidth == 0 || out.maxHeight == 0) {
        out.maxWidth = defaultWidth;
        out.maxHeight = defaultHeight;
    }
    int fitWidth = std::min(out.maxWidth, in.captureWidth);
    if (fitWidth < 1) fitWidth = in.captureWidth;
    int fitHeight = std::min(out.maxHeight, in.captureHeight);
    if (fitHeight < 1) fitHeight = in.captureHeight;
    out.output = CvxFitSize(in.captureWidth, in.captureHeight, fitWidth, fitHeight);

    uint32_t bitrate = in.bitrate;
    if (bitrate == 0) {
        const float b = float(GetDefaultBitrate(out.output.width, out.output.height));
        if (out.machine == MachineClass::Slow) bitrate = uint32_t(b - b * 0.5f);
        else if (in.gameVideo) bitrate = uint32_t(b + b * 0.1f);
        else bitrate = uint32_t(b);
    }
    if (in.bitrateCap != 0 && bitrate > in.bitrateCap) bitrate = in.bitrateCap;
    out.bitrate = bitrate;
    return out;
}

uint64_t RecordMemoryCap(uint64_t workingSetAtStart, uint64_t allowance) {
    return kRecordMemoryBase + workingSetAtStart + allowance;
}
