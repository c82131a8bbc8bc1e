// The service's replies as any bytes: the sync reply, the identifier reply, an upload's
// reply and curl's progress meter. Nothing may crash; an identifier that is kept must be
// safe for command lines and links, a kept size must be whole, and the meter never
// shows more than 99 nor goes back.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "foundation/Utf.h"
#include "server/ServerAPI.h"
#include "server/Upload.h"

namespace {

class Watch : public IProgressHandler {
public:
    void OnProgress(int percent) override {
        if (percent < m_last || percent > 99) std::abort();
        m_last = percent;
    }
    void OnFinished(bool) override {}
    void OnError(int) override {}

private:
    int m_last = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<ServerSyncData> sync = ServerAPI::ParseSyncReply(bytes);
    (void)sync;
    for (const std::string& uid : ServerAPI::ParseFileUids(Utf8ToWideLenient(bytes), 200)) {
        if (uid.empty() || uid.size() > 32) std::abort();
        for (char c : uid) {
            bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
            if (!ok) std::abort();
        }
    }
    int code = JudgeUploadReply(bytes);
    if (code != 0 && (code < 0x10000 || code > 0x9FFFF)) std::abort();
    auto watch = std::make_shared<Watch>();
    UploadProgress progress(watch);
    size_t start = 0;
    for (size_t i = 0; i <= bytes.size(); ++i) {
        if (i == bytes.size() || bytes[i] == '\r') {
            progress.Parse(bytes.substr(start, i - start));
            start = i + 1;
        }
    }
    return 0;
}
