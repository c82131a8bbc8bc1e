#pragma once
#include <cstdint>
#include <map>
#include <string>

// What the sync request brought: text values (key "upload_host") and number values
// (key "max_upload_file_size").
struct ServerSyncData {
    std::map<std::wstring, std::wstring> texts;
    std::map<std::string, uint32_t> numbers;
};

// Receives the sync data; called on the request's thread. The receiver owns the data
// from the call on.
class IServerSyncDataReceiver {
public:
    virtual ~IServerSyncDataReceiver() = default;
    virtual void OnSyncData(ServerSyncData* data) = 0;
};
