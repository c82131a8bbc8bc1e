#pragma once
#include <windows.h>

#include <functional>
#include <string>

// Starting the support-logs packer (SupportLogs.h) from a window.

struct SupportLogsRequest {
    HWND notifyWindow = nullptr;   // the settings page; gets `notifyMessage` when done
    HWND mainWindow = nullptr;     // gets WM_APP_UPLOAD_FILE with the zip's heap path
    std::wstring logFolder;
    UINT notifyMessage = 0x462;    // WM_APP_LOGS_ZIPPED
    std::wstring settingsPath;     // the program's settings.json
    // Tests replace the clocks: the local time that names the files (false: unreadable)
    // and the millisecond clock of the pacing.
    std::function<bool(SYSTEMTIME&)> localTime;
    std::function<int64_t()> nowMs;
};

// Names the files, starts the packer on a detached thread and returns at once: true
// when the job started. False when the local time cannot be read or no thread can be
// started; then no message will come, and the caller must not wait for one.
bool CreateSupportLogsZip(const SupportLogsRequest& request);
