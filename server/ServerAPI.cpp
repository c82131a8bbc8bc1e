#include "server/ServerAPI.h"

#include <cmath>
#include <ctime>

#include "foundation/Format.h"
#include "foundation/Json.h"
#include "foundation/Log.h"
#include "foundation/Utf.h"
#include "server/Curl.h"
#include "server/HttpGet.h"
#include "settings/SettingsManager.h"

namespace {

struct ServerValues {
    std::wstring hostUrl;
    std::wstring productWord;
    std::wstring appId;
    std::wstring version;
    std::wstring curlPath;
    std::wstring userAgent;   // "Brivane/<version> (<installation id>)"
};

ServerValues& Values() {
    static ServerValues values;
    return values;
}

// Seconds since 1970 of the last history ping; UI thread only.
int64_t g_lastHistoryPing = 0;

bool IsValidUid(const std::wstring& uid) {
    if (uid.empty() || uid.size() > 32) return false;
    for (wchar_t c : uid) {
        bool ok = (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
        if (!ok) return false;
    }
    return true;
}

}  // namespace

void ServerAPI::Init(const std::wstring& curlPath) {
    ServerValues& v = Values();
    v.hostUrl = SettingsManager::GetServerUrl();
    v.productWord = SettingsManager::GetBrandName();
    v.appId = SettingsManager::Instance().GetAppId();
    v.version = SettingsManager::GetProductVersion();
    v.curlPath = curlPath;
    v.userAgent = Format(L"{}/{} ({})").Arg(v.productWord).Arg(v.version).Arg(v.appId).Str();
}

std::wstring ServerAPI::CurlPath() { return Values().curlPath; }

std::string ServerAPI::SyncPath(const std::string& appId) { return "/sync.php?appid=" + appId; }

void ServerAPI::SplitSiteHost(const std::string& siteHost, std::string& host, int& port) {
    host = siteHost;
    port = 80;
    size_t colon = siteHost.rfind(':');
    if (colon == std::string::npos || colon + 1 >= siteHost.size() || siteHost.size() - colon > 6) return;
    int value = 0;
    for (size_t i = colon + 1; i < siteHost.size(); ++i) {
        char c = siteHost[i];
        if (c < '0' || c > '9') return;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return;
    host = siteHost.substr(0, colon);
    port = value;
}

void ServerAPI::RequestSync(IServerSyncDataReceiver* receiver) {
    std::shared_ptr<IServerSyncDataReceiver> owned(receiver);
    std::string siteHost = WideToUtf8(SettingsManager::GetSiteHost());
    std::string appId = WideToUtf8(SettingsManager::Instance().GetAppId());
    std::string path = SyncPath(appId) + "&ts=" + std::to_string(static_cast<int32_t>(std::time(nullptr)));
    std::string host;
    int port = 80;
    SplitSiteHost(siteHost, host, port);
    // The receiver is released with the reply step's callback, on every path.
    HttpGetAsync(host, port, path, StandardHttpGetHeaderLines(siteHost), [owned](const std::string& reply) {
        std::unique_ptr<ServerSyncData> data;
        try {
            data = ParseSyncReply(reply);
        } catch (...) {
            data.reset();
        }
        if (data && owned) owned->OnSyncData(data.release());
    });
}

bool ServerAPI::HistoryPingDue(int64_t now, int64_t& last) {
    int64_t elapsed = now - last;
    if (elapsed < 60) return false;
    last = now;
    return true;
}

void ServerAPI::PingHistory() {
    if (!HistoryPingDue(static_cast<int64_t>(std::time(nullptr)), g_lastHistoryPing)) return;
    std::string siteHost = WideToUtf8(SettingsManager::GetSiteHost());
    std::string path = "/history_add_to_cache.php?appid=" + WideToUtf8(Values().appId);
    std::string host;
    int port = 80;
    SplitSiteHost(siteHost, host, port);
    HttpGetAsync(host, port, path, StandardHttpGetHeaderLines(siteHost), [](const std::string&) {});
}

std::unique_ptr<ServerSyncData> ServerAPI::ParseSyncReply(const std::string& reply) {
    size_t start = reply.find("{\"");
    if (start == std::string::npos) return nullptr;
    size_t end = reply.find('}', start);
    if (end == std::string::npos) return nullptr;
    std::unique_ptr<JsonValue> root = Json::Parse(StringToWString(reply.substr(start, end - start + 1)));
    if (!root || root->type != JsonType::Object) return nullptr;
    auto data = std::make_unique<ServerSyncData>();
    if (const JsonValue* host = root->Find(L"upload_host"); host && host->type == JsonType::String) {
        data->texts[L"upload_host"] = host->string;
    }
    if (const JsonValue* size = root->Find(L"max_upload_file_size"); size && size->type == JsonType::Number) {
        double n = size->number;
        if (std::isfinite(n) && n >= 0 && n <= 4294967295.0 && std::floor(n) == n) {
            data->numbers["max_upload_file_size"] = static_cast<uint32_t>(n);
        } else {
            Log("ServerAPI::OnSyncReply: max_upload_file_size out of range\n");
        }
    }
    return data;
}

std::vector<std::string> ServerAPI::ParseFileUids(const std::wstring& body, int httpCode) {
    std::vector<std::string> uids;
    if (httpCode != 200) {
        Log("GetFileUids(): Request failed\n");
        return uids;
    }
    std::unique_ptr<JsonValue> root = Json::Parse(body);
    if (!root) {
        Log("GetFileUids(): Failed to response\n");
        return uids;
    }
    if (root->type != JsonType::Object) {
        Log("GetFileUids(): Failed to parse response object\n");
        return uids;
    }
    const JsonValue* status = root->Find(L"status");
    if (!status || status->type != JsonType::String) {
        Log("GetFileUids(): No status in response\n");
        return uids;
    }
    if (status->string != L"ok") {
        Log("GetFileUids(): Response is not ok: %s\n", WideToUtf8(status->string).c_str());
        return uids;
    }
    const JsonValue* list = root->Find(L"uids");
    if (!list || list->type != JsonType::Array) {
        Log("GetFileUids(): No uids in response\n");
        return uids;
    }
    for (const JsonValue* element : list->array) {
        if (!element || element->type != JsonType::String) {
            Log("GetFileUids(): uid is not string\n");
            break;
        }
        if (!IsValidUid(element->string)) {
            Log("GetFileUids(): uid is not valid: %s\n", WideToUtf8(element->string.substr(0, 64)).c_str());
            continue;
        }
        uids.push_back(WideToUtf8(element->string));
    }
    return uids;
}

void ServerAPI::GetFileUids(UidsCallback callback) {
    CurlRequestParams params(Values().curlPath);
    params.userAgent = Values().userAgent;
    params.host = Values().hostUrl;
    params.path = L"api/app/v1/uids";
    Curl::RequestAsync(params, [callback](const std::wstring& body, int httpCode) {
        std::vector<std::string> uids;
        try {
            uids = ParseFileUids(body, httpCode);
        } catch (...) {
            uids.clear();
        }
        if (callback) callback(uids);
    });
}
