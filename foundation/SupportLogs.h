#pragma once
#include <cstdint>
#include <functional>
#include <string>

// The support-logs packer: the program's log files and a copy of settings.json packed
// into "cvxlogs_<date>_<time>.zip" in the user's temporary folder on a thread of its
// own; then the page that asked is told, and the zip is handed to the main window for
// upload. Nothing is deleted: the zip and the settings copy stay in the temporary
// folder.

// The two files of one request, from the local time of the call: the years since 2000
// in plain decimal ("9" in 2009), the rest as two digits. `tempFolder` already ends with
// a separator, so the paths hold two there.
struct SupportLogsNames {
    std::wstring zipPath;
    std::wstring settingsCopyPath;
};
SupportLogsNames MakeSupportLogsNames(const std::wstring& tempFolder, int year, int month, int day, int hour,
                                      int minute, int second);

// What the job does to the world; the system's versions on Windows, fakes in tests.
struct SupportLogsEffects {
    std::function<int64_t()> nowMs;                     // a clock in milliseconds
    std::function<void(int ms)> sleepMs;
    std::function<void()> postNotify;                   // the page's message
    // Hands the heap path to the main window; false when the post failed (the caller
    // then frees it).
    std::function<bool(std::wstring* path)> postUploadFile;
};

class SupportLogsJob {
public:
    // Runs on the packer's thread; touches windows only through the posting effects.
    void Run(const SupportLogsEffects& fx);

    std::wstring zipPath;
    std::wstring logFolder;
    std::wstring settingsPath;      // the program's settings.json
    std::wstring settingsCopyPath;
};

// Less than this since the start, and the job waits kSupportLogsPauseMs more before
// telling the page, so that its progress window does not just flash.
constexpr int kSupportLogsQuickMs = 2000;
constexpr int kSupportLogsPauseMs = 3000;
