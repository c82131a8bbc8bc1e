#include "foundation/SupportLogs.h"

#include "foundation/File.h"
#include "foundation/Folders.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/ZipWriter.h"

SupportLogsNames MakeSupportLogsNames(const std::wstring& tempFolder, int year, int month, int day, int hour,
                                      int minute, int second) {
    auto fill = [&](const wchar_t* pattern) {
        return Format(pattern)
            .Arg(tempFolder)
            .ArgInt(year - 2000)
            .ArgTwoDigits(month)
            .ArgTwoDigits(day)
            .ArgTwoDigits(hour)
            .ArgTwoDigits(minute)
            .ArgTwoDigits(second)
            .Str();
    };
    SupportLogsNames names;
    names.zipPath = fill(L"{}\\cvxlogs_{}{}{}_{}{}{}.zip");
    names.settingsCopyPath = fill(L"{}\\cvxlogs_settings_{}{}{}_{}{}{}.json");
    return names;
}

void SupportLogsJob::Run(const SupportLogsEffects& fx) {
    const int64_t start = fx.nowMs();
    const std::vector<std::wstring> logs = GetFilesInFolder(logFolder);
    ZipHandle* zip = CreateZipFile(zipPath);
    if (zip == nullptr) Log("SupportLogsJob: cannot create the zip (0x%x)\n", GetLastZipResult());

    // The first log that cannot be added ends the logs; the settings still go in.
    for (const std::wstring& name : logs) {
        const uint32_t rc = ZipAdd(zip, name, logFolder + L"\\" + name);
        if (rc != kZipOk) {
            Log("SupportLogsJob: adding a log failed (0x%x)\n", rc);
            break;
        }
    }
    File settings(settingsPath);
    settings.Copy(settingsCopyPath);
    if (File(settingsCopyPath).Exists()) ZipAdd(zip, L"settings.json", settingsCopyPath);
    const bool created = zip != nullptr;
    if (created) {
        ZipClose(zip);
        zip->writer->Destroy();
        delete zip;
    }

    if (fx.nowMs() - start < kSupportLogsQuickMs) fx.sleepMs(kSupportLogsPauseMs);
    fx.postNotify();
    // Only a zip made by this run goes up (a folder of that name also "exists").
    if (created && File(zipPath).Exists()) {
        auto* path = new std::wstring(zipPath);
        if (!fx.postUploadFile(path)) delete path;
    }
}
