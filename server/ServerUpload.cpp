#include <chrono>
#include <cmath>
#include <exception>
#include <thread>

#include "foundation/Base64.h"
#include "foundation/Log.h"
#include "foundation/Path.h"
#include "foundation/Process.h"
#include "foundation/ProcessArguments.h"
#include "foundation/QuietPeriod.h"
#include "foundation/Utf.h"
#include "server/ServerAPI.h"
#include "server/Upload.h"
#include "settings/SettingsManager.h"

namespace {

// The value of a quoted file name in curl's -F: backslash and double quote escaped.
std::wstring CurlQuotedFileName(const std::wstring& path) {
    std::wstring out = L"\"";
    for (wchar_t c : path) {
        if (c == L'\\' || c == L'"') out += L'\\';
        out += c;
    }
    return out + L"\"";
}

// An upload's start holds other child processes (analytics events) back until its curl.exe
// runs: the first piece of curl's progress meter ends the hold. Past this it ends anyway.
constexpr int kUploadStartHoldMs = 3000;

// Hands every call on; the first progress report of curl ends the start's hold.
class EndHoldOnProgress : public IProgressHandler {
public:
    EndHoldOnProgress(std::shared_ptr<IProgressHandler> inner, QuietPeriod::Token hold)
        : m_inner(std::move(inner)), m_hold(hold) {}
    void OnProgress(int percent) override {
        QuietPeriod::End(m_hold);
        m_inner->OnProgress(percent);
    }
    void OnFinished(bool ok) override { m_inner->OnFinished(ok); }
    void OnError(int code) override { m_inner->OnError(code); }

private:
    std::shared_ptr<IProgressHandler> m_inner;
    QuietPeriod::Token m_hold;
};

// One upload: attempts on its own thread, then the handler's end calls.
struct UploadJob {
    std::wstring curlPath;
    std::wstring appId;
    std::wstring localPath;
    std::wstring fileExtension;
    std::wstring serverFileName;
    std::wstring siteUrl;
    int uploadType = 0;
    std::shared_ptr<IProgressHandler> progress;
    std::shared_ptr<IServerSyncDataReceiver> syncReceiver;   // kept alive, not called
    std::wstring displayName;
    QuietPeriod::Token startHold = 0;

    void Run() {
        auto meter = std::make_shared<EndHoldOnProgress>(progress, startHold);
        RunUploadAttempts(
            [this, meter] {
                return ServerAPI::TryUploadFile(curlPath, appId, localPath, fileExtension, serverFileName,
                                                siteUrl, uploadType, displayName, meter, kUploadStallSeconds);
            },
            [this](int ms) {
                QuietPeriod::End(startHold);   // an attempt that printed nothing
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            },
            *progress);
        QuietPeriod::End(startHold);
    }
};

}  // namespace

void UploadProgress::Parse(const std::string& chunk) {
    size_t i = 0;
    while (i < chunk.size() && (chunk[i] < '0' || chunk[i] > '9')) ++i;
    if (i == chunk.size()) {
        m_percentage += 0.3;
    } else {
        double n = 0;
        while (i < chunk.size() && chunk[i] >= '0' && chunk[i] <= '9' && n < 1e9) n = n * 10 + (chunk[i++] - '0');
        if (n > std::floor(m_percentage)) {
            m_percentage = n;
        } else {
            m_percentage += 0.3;
        }
    }
    if (m_percentage > 99) m_percentage = 99;
    if (m_handler) m_handler->OnProgress(static_cast<int>(std::floor(m_percentage)));
}

std::wstring BuildUploadArguments(const std::wstring& appId, const std::wstring& serverFileName,
                                  const std::wstring& fileExtension, int uploadType,
                                  const std::wstring& displayName, const std::wstring& localPath,
                                  const std::wstring& siteUrl, int stallSeconds) {
    std::wstring fileNameField = Utf8ToWide(Base64Encode(WideToUtf8(displayName)));
    auto field = [](const std::wstring& name, const std::wstring& value) {
        return L" --form-string " + QuoteProcessArgument(name + L"=" + value);
    };
    std::wstring text;
    text += field(L"appId", appId);
    text += field(L"screenshotId", serverFileName);
    text += field(L"fileExt", fileExtension);
    text += field(L"uploadType", std::to_wstring(uploadType));
    text += field(L"fileName", fileNameField);
    text += L" -F " + QuoteProcessArgument(L"userfile=@" + CurlQuotedFileName(localPath));
    if (stallSeconds > 0) {
        text += L" --speed-limit 1 --speed-time " + std::to_wstring(stallSeconds);
    }
    text += L" " + QuoteProcessArgument(siteUrl + L"/post_file2");
    return text;
}

int JudgeUploadReply(const std::string& reply) {
    static const std::string kStatus = "{\"status\":";
    size_t at = reply.find(kStatus);
    if (at == std::string::npos) {
        return reply.find("413") != std::string::npos ? UploadErrorCode::kTooLarge : UploadErrorCode::kNoStatus;
    }
    size_t i = at + kStatus.size();
    while (i < reply.size() && (reply[i] == ' ' || reply[i] == '\t' || reply[i] == '\r' || reply[i] == '\n')) ++i;
    if (i == reply.size() || reply[i] < '0' || reply[i] > '9') return UploadErrorCode::kStatusNotNumber;
    unsigned long long status = 0;
    while (i < reply.size() && reply[i] >= '0' && reply[i] <= '9') {
        status = status * 10 + static_cast<unsigned>(reply[i++] - '0');
        if (status > 0xFFFFFFFFull) return UploadErrorCode::kStatusNotNumber;
    }
    if (status == 0) return 0;
    if (status == 413) return UploadErrorCode::kTooLarge;
    return UploadErrorCode::kServiceStatus | static_cast<int>(status & 0xFFFF);
}

bool RunUploadAttempts(const std::function<int()>& attempt, const std::function<void(int ms)>& pause,
                       IProgressHandler& handler) {
    int code = 0;
    bool ok = false;
    for (int i = 0; i < kUploadAttempts && !ok; ++i) {
        Log("Upload attempt %d started\n", i + 1);
        try {
            code = attempt();
        } catch (...) {
            code = UploadErrorCode::kReadFailed;
        }
        ok = code == 0;
        Log("Upload attempt %d ended: %#x\n", i + 1, static_cast<unsigned>(code));
        pause(kUploadPauseMs);
    }
    if (!ok) handler.OnError(code);
    handler.OnFinished(ok);
    return ok;
}

int ServerAPI::TryUploadFile(const std::wstring& curlPath, const std::wstring& appId, const std::wstring& localPath,
                             const std::wstring& fileExtension, const std::wstring& serverFileName,
                             const std::wstring& siteUrl, int uploadType, const std::wstring& displayName,
                             std::shared_ptr<IProgressHandler> progress, int stallSeconds) {
    std::string reply;
    int code = RunUploadCommand(curlPath, appId, localPath, fileExtension, serverFileName, siteUrl, uploadType,
                                displayName, progress, stallSeconds, reply);
    if (code != 0) return code;
    code = JudgeUploadReply(reply);
    if (code == 0 && progress) progress->OnProgress(100);
    return code;
}

int ServerAPI::RunUploadCommand(const std::wstring& curlPath, const std::wstring& appId, const std::wstring& localPath,
                                const std::wstring& fileExtension, const std::wstring& serverFileName,
                                const std::wstring& siteUrl, int uploadType, const std::wstring& displayName,
                                std::shared_ptr<IProgressHandler> progress, int stallSeconds, std::string& reply) {
    std::wstring arguments = BuildUploadArguments(appId, serverFileName, fileExtension, uploadType, displayName,
                                                  localPath, siteUrl, stallSeconds);
    UploadProgress meter(std::move(progress));
    return RunUploadProcess(curlPath, GetDirectoryName(curlPath), arguments, meter, reply);
}

int ServerAPI::RunUploadProcess(const std::wstring& curlPath, const std::wstring& workingFolder,
                                const std::wstring& arguments, UploadProgress& progress, std::string& reply) {
    long exitCode = 0;
    std::wstring out;
    Process process(
        curlPath, arguments, workingFolder, 0,
        [&](const std::wstring& stdoutText, const std::wstring&, long code, bool) {
            out = stdoutText;
            exitCode = code;
        },
        nullptr, [&progress](const std::wstring& chunk) { progress.Parse(WideToUtf8(chunk)); });
    // In place on the upload's thread: the whole output, drained after curl ended, is
    // judged; the exit code itself is not.
    process.Run();
    if (exitCode == Process::kStartFailed) return UploadErrorCode::kStartFailed;
    reply = WideToUtf8(out);
    return 0;
}

bool ServerAPI::UploadScreenshotAsync(const std::wstring& localPath, const std::wstring& serverFileName,
                                      int uploadType, std::shared_ptr<IProgressHandler> progress,
                                      std::shared_ptr<IServerSyncDataReceiver> syncReceiver,
                                      const std::wstring& fileExtension, const std::wstring& displayName) {
    if (!progress) return false;
    progress->OnProgress(5);
    auto job = std::make_shared<UploadJob>();
    job->curlPath = CurlPath();
    job->appId = SettingsManager::Instance().GetAppId();
    job->localPath = localPath;
    job->fileExtension = fileExtension;
    job->serverFileName = serverFileName;
    job->siteUrl = SettingsManager::GetSiteUrl();
    job->uploadType = uploadType;
    job->progress = std::move(progress);
    job->syncReceiver = std::move(syncReceiver);
    job->displayName = displayName;
    job->startHold = QuietPeriod::Begin(kUploadStartHoldMs);
    try {
        std::thread([job] {
            try {
                job->Run();
            } catch (...) {
                Log("UploadScreenshotAsync: upload job failed\n");
            }
        }).detach();
    } catch (const std::exception&) {
        Log("UploadScreenshotAsync: no thread\n");
        QuietPeriod::End(job->startHold);
        return false;
    }
    return true;
}
