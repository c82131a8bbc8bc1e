#pragma once
#include <functional>
#include <memory>
#include <string>

#include "server/IProgressHandler.h"

// Upload error codes reported through IProgressHandler::OnError.
namespace UploadErrorCode {
constexpr int kStartFailed = 0x10000;       // curl could not be started
constexpr int kExitCodeFailed = 0x20000;    // curl's exit code could not be read
constexpr int kPipeFailed = 0x30000;
constexpr int kPipeInheritFailed = 0x40000;
constexpr int kStatusNotNumber = 0x50000;   // "{\"status\":" not followed by a number
constexpr int kNoStatus = 0x60000;          // no "{\"status\":" in the reply
constexpr int kServiceStatus = 0x70000;     // | the service's non-zero status
constexpr int kReadFailed = 0x80000;
constexpr int kTooLarge = 0x90000;          // the service refused the size (413)
}  // namespace UploadErrorCode

// Seconds without a byte moving after which curl gives an attempt up (its
// --speed-limit 1 --speed-time); a stalled service thus costs one failed attempt.
constexpr int kUploadStallSeconds = 30;
constexpr int kUploadAttempts = 3;
constexpr int kUploadPauseMs = 500;

// The progress of one attempt, read from curl's progress meter (standard error): the
// first number of a chunk is the overall percentage. A chunk without a higher number
// creeps the bar by 0.3. The meter is for display only: it never shows more than 99,
// success is decided by the service's reply once curl has ended.
class UploadProgress {
public:
    explicit UploadProgress(std::shared_ptr<IProgressHandler> handler) : m_handler(std::move(handler)) {}
    void Parse(const std::string& chunk);
    double Percentage() const { return m_percentage; }

private:
    std::shared_ptr<IProgressHandler> m_handler;
    double m_percentage = 0;
};

// The argument text after curl's path. Every field goes as its own quoted argument; the
// text fields are sent literally (--form-string) and the file name is quoted for curl's
// -F rules, so commas, semicolons, quotes and backslashes in a path reach the service.
std::wstring BuildUploadArguments(const std::wstring& appId, const std::wstring& serverFileName,
                                  const std::wstring& fileExtension, int uploadType,
                                  const std::wstring& displayName, const std::wstring& localPath,
                                  const std::wstring& siteUrl, int stallSeconds);

// Judges curl's standard output (the service's reply): 0 for {"status":0}; the error
// code otherwise. The status is read first: a reply without one that holds "413" is a
// refused size.
int JudgeUploadReply(const std::string& reply);

// Up to kUploadAttempts calls of `attempt` (0 = success, else an error code), each
// followed by pause(kUploadPauseMs); then OnError with the last code when all failed,
// and OnFinished. Returns whether one attempt succeeded.
bool RunUploadAttempts(const std::function<int()>& attempt, const std::function<void(int ms)>& pause,
                       IProgressHandler& handler);
