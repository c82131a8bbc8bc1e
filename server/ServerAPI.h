#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "server/IProgressHandler.h"
#include "server/ServerSyncData.h"

class UploadProgress;

// The client of our web service: values filled once at start-up, and the sync request,
// the history ping, the identifier request and uploads. Sync and history are raw GETs
// to the site host; identifiers and uploads go through curl.exe.
class ServerAPI {
public:
    using UidsCallback = std::function<void(const std::vector<std::string>& uids)>;

    // Fills the values from the settings; once, at start-up, before any request.
    static void Init(const std::wstring& curlPath);

    static std::wstring CurlPath();

    // Takes ownership of the heap receiver and starts the sync GET; returns at once.
    static void RequestSync(IServerSyncDataReceiver* receiver);
    // At most one history GET per 60 s; UI thread only; returns at once.
    static void PingHistory();
    // "/sync.php?appid=" + appId.
    static std::string SyncPath(const std::string& appId);
    // Starts the identifier request; the callback runs once on another thread with the
    // identifiers, or with an empty list on any failure.
    static void GetFileUids(UidsCallback callback);

    // The sync reply step: the first flat JSON object of the reply; null when there is
    // none. A size is kept only when it is a whole number within 0..4294967295.
    static std::unique_ptr<ServerSyncData> ParseSyncReply(const std::string& reply);
    // The identifier reply step, with its log lines. Only identifiers of 1 to 32 letters
    // and digits are kept (they go into command lines and links); others are logged.
    static std::vector<std::string> ParseFileUids(const std::wstring& body, int httpCode);
    // The history gate: true (and last = now) when now - last is at least 60 s.
    static bool HistoryPingDue(int64_t now, int64_t& last);
    // The site host as the raw GETs use it: "name" connects to port 80 and sends
    // "Host: name"; "name:port" connects to that port and sends "Host: name:port".
    static void SplitSiteHost(const std::string& siteHost, std::string& host, int& port);

    // Uploads one file on a worker thread (up to three attempts); false when no thread
    // could be started. The handler's OnFinished is called exactly once when it started.
    static bool UploadScreenshotAsync(const std::wstring& localPath, const std::wstring& serverFileName,
                                      int uploadType, std::shared_ptr<IProgressHandler> progress,
                                      std::shared_ptr<IServerSyncDataReceiver> syncReceiver,
                                      const std::wstring& fileExtension, const std::wstring& displayName);

    // One attempt: runs curl and judges its reply; 0 on success, else the error code.
    static int TryUploadFile(const std::wstring& curlPath, const std::wstring& appId, const std::wstring& localPath,
                             const std::wstring& fileExtension, const std::wstring& serverFileName,
                             const std::wstring& siteUrl, int uploadType, const std::wstring& displayName,
                             std::shared_ptr<IProgressHandler> progress, int stallSeconds);
    // Builds the argument text and runs curl; `reply` gets curl's standard output.
    static int RunUploadCommand(const std::wstring& curlPath, const std::wstring& appId, const std::wstring& localPath,
                                const std::wstring& fileExtension, const std::wstring& serverFileName,
                                const std::wstring& siteUrl, int uploadType, const std::wstring& displayName,
                                std::shared_ptr<IProgressHandler> progress, int stallSeconds, std::string& reply);
    // Runs curl to its end on the calling thread, the meter (standard error) going to
    // `progress` while it runs; 0 or the error code.
    static int RunUploadProcess(const std::wstring& curlPath, const std::wstring& workingFolder,
                                const std::wstring& arguments, UploadProgress& progress, std::string& reply);
};
