#include "app/VideoRecordingRules.h"

#include <cmath>
#include <cwchar>

#include "app/ScreenshotNames.h"
#include "foundation/Random.h"

namespace {

// Widens [lo, hi) to at least kMinVideoSide, half on each side, then moves it back
// inside [min, max) when it stands out (a span wider than the bounds starts at min).
void AdjustSpan(int32_t& lo, int32_t& hi, int32_t min, int32_t max) {
    if ((hi - lo) % 2 != 0) --hi;
    int32_t size = hi - lo;
    if (size < kMinVideoSide) {
        int32_t grow = (kMinVideoSide - size) / 2;
        lo -= grow;
        hi += grow;
    }
    if (max > min) {
        if (hi > max) {
            lo -= hi - max;
            hi = max;
        }
        if (lo < min) {
            hi += min - lo;
            lo = min;
        }
    }
}

std::wstring JoinFolder(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) return folder + name;
    return folder + L"\\" + name;
}

}  // namespace

CvxRect AdjustVideoArea(const CvxRect& selection, const CvxRect& screen) {
    CvxRect area = selection;
    AdjustSpan(area.left, area.right, screen.left, screen.right);
    AdjustSpan(area.top, area.bottom, screen.top, screen.bottom);
    return area;
}

std::wstring MakeLocalVideoPath(const std::wstring& folder, const std::wstring& name,
                                const std::function<bool(const std::wstring&)>& exists) {
    return MakeUniqueFilePath(JoinFolder(folder, name), L".mp4", exists);
}

std::wstring MakeUploadVideoPath(const std::wstring& tmpFolder) {
    return JoinFolder(tmpFolder, RandomAlnumString(16) + L".mp4");
}

PanelLayout ComputePanelLayout(int clientWidth, int clientHeight, int bgWidth, int bgHeight, int buttonWidth) {
    PanelLayout l;
    l.x0 = clientWidth / 2 - bgWidth / 2;
    l.y0 = clientHeight - bgHeight;
    int w = buttonWidth;
    l.restartX = l.x0;
    l.resumeX = l.x0 + w;
    l.pauseX = l.x0 + w;
    l.cancelX = l.x0 + 5 * w;
    l.stopX = l.x0 + 6 * w;
    l.barX = l.x0 + 10 + 2 * w;
    l.barY = l.y0;
    l.timeX = l.x0 + 44 + 2 * w;
    l.timeY = l.y0 + 2;
    return l;
}

float PanelPercent(int64_t limitMs, int64_t elapsedMs) {
    if (limitMs <= 0) return 0.0f;
    return static_cast<float>(std::trunc(static_cast<double>(elapsedMs) / static_cast<double>(limitMs) * 100.0));
}

std::wstring PanelTimeText(int64_t elapsedMs) {
    if (elapsedMs < 0) elapsedMs = 0;
    int64_t minutes = elapsedMs / 60000;
    int64_t seconds = elapsedMs / 1000 - 60 * minutes;
    wchar_t text[32];
    std::swprintf(text, 32, L"%02lld:%02lld", static_cast<long long>(minutes), static_cast<long long>(seconds));
    return text;
}

std::vector<BarStep> ProgressBarSteps(int x, int y, float value, int backgroundWidth, int lastWidth) {
    std::vector<BarStep> steps;
    steps.push_back({BarPicture::Background, x, y});
    double up = std::ceil(static_cast<double>(value));
    int p = up > 100.0 ? 100 : (up < 0.0 || up != up ? 0 : static_cast<int>(up));
    for (int i = 1; i <= p; ++i) {
        if (i == 1) {
            steps.push_back({BarPicture::First, x, y});
        } else if (i <= 98) {
            steps.push_back({BarPicture::Middle, x + i, y});
        } else {
            steps.push_back({BarPicture::Last, x + backgroundWidth - lastWidth, y});
        }
    }
    return steps;
}
