#include "server/AnalyticsBuckets.h"

#include <cmath>

namespace {

// width x height wrapped the way a signed 32-bit product wraps.
int32_t PixelCount(unsigned width, unsigned height) {
    uint32_t product = static_cast<uint32_t>(static_cast<uint64_t>(width) * height);
    return static_cast<int32_t>(product);
}

struct ResolutionRow { int32_t below; const wchar_t* range; const wchar_t* name; };
const ResolutionRow kResolutionRows[] = {
    {102240, L"0-240p", L"240p"},         {230400, L"240-360p", L"360p"},
    {409920, L"360-480p", L"480p"},       {921600, L"480-720p", L"720p"},
    {2073600, L"720-1080p", L"1080p"},    {3686400, L"1080-1440p", L"1440p"},
    {8294400, L"1440-2160p", L"2160p"},
};

const ResolutionRow* FindResolutionRow(unsigned width, unsigned height) {
    int32_t pixels = PixelCount(width, height);
    for (const ResolutionRow& row : kResolutionRows) {
        if (pixels < row.below) return &row;
    }
    return nullptr;
}

}  // namespace

std::wstring DurationBucket(int64_t milliseconds) {
    int64_t seconds = milliseconds / 1000;
    struct Row { int64_t below; const wchar_t* label; };
    static const Row kRows[] = {{5, L"0-5 sec"},    {15, L"5-15 sec"},  {30, L"15-30 sec"},
                                {60, L"30-60 sec"}, {180, L"1-3 min"},  {600, L"3-10 min"},
                                {1800, L"10-30 min"}, {3600, L"30-60 min"}};
    for (const Row& row : kRows) {
        if (seconds < row.below) return row.label;
    }
    return L"60+ min";
}

std::wstring ResolutionRangeBucket(unsigned width, unsigned height) {
    const ResolutionRow* row = FindResolutionRow(width, height);
    return row ? row->range : L"4K+";
}

std::wstring ResolutionBucket(unsigned width, unsigned height) {
    const ResolutionRow* row = FindResolutionRow(width, height);
    return row ? row->name : L"4K+";
}

std::wstring FpsBucket(int fps) {
    struct Row { int below; const wchar_t* label; };
    static const Row kRows[] = {{5, L"0-5"},   {10, L"5-10"},  {15, L"10-15"},
                                {20, L"15-20"}, {25, L"20-25"}, {30, L"25-30"}};
    for (const Row& row : kRows) {
        if (fps < row.below) return row.label;
    }
    return L"30+";
}

std::wstring SecondsBucket(double milliseconds) {
    double up = std::ceil(milliseconds / 1000.0);
    // Out-of-range values (NaN, huge) count as the last or first row instead of
    // converting undefinedly.
    int64_t seconds = up != up ? 0 : up > 1e15 ? INT64_C(1000000000000000)
                    : up < -1e15 ? -INT64_C(1000000000000000) : static_cast<int64_t>(up);
    struct Row { int64_t below; const wchar_t* label; };
    static const Row kRows[] = {{1, L"0"},     {2, L"1-2"},     {3, L"2-3"},   {4, L"3-4"},
                                {5, L"4-5"},   {15, L"5-15"},   {30, L"15-30"}, {60, L"30-60"},
                                {120, L"60-120"}};
    for (const Row& row : kRows) {
        if (seconds < row.below) return row.label;
    }
    return L"120+";
}
