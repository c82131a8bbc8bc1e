#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/CvxRect.h"

// The plain rules of a screen recording's front end: the recorded area, the output
// file, and the control panel's geometry, bar and clock.

// The area that is recorded for a selection: even width and height (the odd last column
// or row dropped), at least kMinVideoSide on each side (widened on both sides of the
// selection), then shifted back inside `screen` when the widening pushed it out.
constexpr int kMinVideoSide = 48;
CvxRect AdjustVideoArea(const CvxRect& selection, const CvxRect& screen);

// Where a recording goes. Local: "<folder>\<name>.mp4" with `name` from the local time,
// and " (2)", " (3)" ... before ".mp4" when a file of that name exists already. Upload:
// "<tmpFolder>\<16 random letters and digits>.mp4". A trailing separator of a folder is
// not doubled. "" when no free local name was found.
std::wstring MakeLocalVideoPath(const std::wstring& folder, const std::wstring& name,
                                const std::function<bool(const std::wstring&)>& exists);
std::wstring MakeUploadVideoPath(const std::wstring& tmpFolder);

// The control panel (a background picture with five buttons, a bar and a clock).
struct PanelLayout {
    int x0 = 0, y0 = 0;            // the background's top-left
    int restartX = 0, resumeX = 0, pauseX = 0, cancelX = 0, stopX = 0;   // buttons, at y0
    int barX = 0, barY = 0;
    int timeX = 0, timeY = 0;
};
// `clientWidth` x `clientHeight`: the panel's client area; the background is centred
// and bottom-aligned; `buttonWidth` is the restart button's picture width.
PanelLayout ComputePanelLayout(int clientWidth, int clientHeight, int bgWidth, int bgHeight, int buttonWidth);

// trunc(elapsed / limit x 100) for a positive limit, else 0.
float PanelPercent(int64_t limitMs, int64_t elapsedMs);
// "MM:SS" of the elapsed time (minutes are not wrapped at an hour).
std::wstring PanelTimeText(int64_t elapsedMs);

// The pictures the progress bar draws, in order, for `value` percent.
enum class BarPicture { Background, First, Middle, Last };
struct BarStep {
    BarPicture picture;
    int x, y;
};
std::vector<BarStep> ProgressBarSteps(int x, int y, float value, int backgroundWidth, int lastWidth);
