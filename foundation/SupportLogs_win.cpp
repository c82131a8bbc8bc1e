#include "foundation/SupportLogsZip.h"

#include <exception>
#include <memory>
#include <thread>

#include "foundation/Folders.h"
#include "foundation/Log.h"
#include "foundation/Stopwatch.h"
#include "foundation/SupportLogs.h"

namespace {

constexpr UINT kUploadFileMessage = 0x411;  // WM_APP_UPLOAD_FILE of the main dialog

}  // namespace

bool CreateSupportLogsZip(const SupportLogsRequest& request) {
    SYSTEMTIME now{};
    if (request.localTime) {
        if (!request.localTime(now)) {
            Log("CreateSupportLogsZip: no local time\n");
            return false;
        }
    } else {
        GetLocalTime(&now);
    }
    const SupportLogsNames names =
        MakeSupportLogsNames(GetTempFolder(), now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);

    auto job = std::make_unique<SupportLogsJob>();
    job->zipPath = names.zipPath;
    job->logFolder = request.logFolder;
    job->settingsPath = request.settingsPath;
    job->settingsCopyPath = names.settingsCopyPath;

    SupportLogsEffects fx;
    fx.nowMs = request.nowMs ? request.nowMs : [] { return static_cast<int64_t>(MonotonicTicks() / 10000); };
    fx.sleepMs = [](int ms) { Sleep(static_cast<DWORD>(ms)); };
    const HWND notify = request.notifyWindow;
    const UINT message = request.notifyMessage;
    const HWND main = request.mainWindow;
    fx.postNotify = [notify, message] { PostMessageW(notify, message, 0, 0); };
    fx.postUploadFile = [main](std::wstring* path) {
        return PostMessageW(main, kUploadFileMessage, 0, reinterpret_cast<LPARAM>(path)) != FALSE;
    };

    try {
        std::thread([job = std::move(job), fx = std::move(fx)]() noexcept {
            try {
                job->Run(fx);
            } catch (const std::exception& e) {
                Log("SupportLogsJob: %s\n", e.what());
            } catch (...) {
                Log("SupportLogsJob: unknown exception\n");
            }
        }).detach();
    } catch (const std::exception& e) {
        Log("CreateSupportLogsZip: no thread: %s\n", e.what());
        return false;
    }
    return true;
}
