// An event through the real curl into our own web service's collector, read back from
// its event list. Native only: the service is a Linux program; skipped when the build
// has no service binary.
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "LoopbackHttpServer.h"
#include "ServerTestSupport.h"
#include "foundation/Json.h"
#include "foundation/Utf.h"
#include "server/Analytics.h"
#include "server/Curl.h"

using namespace server_test;

namespace {

std::string ServiceBinary() {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    auto service = self.parent_path().parent_path() / "service" / "brivane-service";
    return std::filesystem::exists(service) ? service.string() : "";
}

// GET through the client itself; "" on failure.
std::wstring Get(const std::wstring& host, const std::wstring& path) {
    struct State { std::mutex m; std::condition_variable cv; std::wstring body; bool done = false; };
    auto state = std::make_shared<State>();
    CurlRequestParams params(CurlPath());
    params.host = host;
    params.path = path;
    params.timeoutMs = 5000;
    Curl::RequestAsync(params, [state](const std::wstring& body, int) {
        std::lock_guard<std::mutex> lock(state->m);
        state->body = body;
        state->done = true;
        state->cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(state->m);
    state->cv.wait_for(lock, std::chrono::seconds(20), [&] { return state->done; });
    return state->body;
}

}  // namespace

TEST(AnalyticsService, EventArrivesAtOurCollectorWithExactTexts) {
    std::string service = ServiceBinary();
    if (service.empty() || CurlPath().empty()) GTEST_SKIP() << "no service binary or curl in this build";
    int port = LoopbackHttpServer::ClosedPort();
    std::string data = testing::TempDir() + "brivane-collector-" + std::to_string(getpid());
    std::string listen = "127.0.0.1:" + std::to_string(port);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(2);
        execl(service.c_str(), service.c_str(), "--listen", listen.c_str(), "--data", data.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    std::wstring base = L"http://127.0.0.1:" + std::to_wstring(port);
    std::wstring cid = L"cid-" + std::to_wstring(getpid());
    AnalyticsInit(CurlPath(), L"BrivaneWin/1.2.3.4", L"UA-48151623-42", L"BrivaneWin", L"1.2.3.4");
    AnalyticsSetClientId(cid);
    AnalyticsSetCollectorUrl(base);
    // Wait until the service answers.
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
        up = !Get(base, L"collect/events?cid=" + cid).empty();
        if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(up) << "the service did not start";

    CvxAnalyticsPostEventAsync(5, L"Screenshot.Region", L"Launch on Hotkey", L"Server + Local");
    std::unique_ptr<JsonValue> event;
    for (int i = 0; i < 100 && !event; ++i) {
        std::unique_ptr<JsonValue> root = Json::Parse(Get(base, L"collect/events?cid=" + cid));
        const JsonValue* events = root ? root->Find(L"events") : nullptr;
        if (events && events->type == JsonType::Array && !events->array.empty()) {
            event = Json::Parse(events->array[0]->Stringify());
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::error_code ec;
    std::filesystem::remove_all(data, ec);
    ASSERT_TRUE(event) << "no event arrived";
    const std::pair<const wchar_t*, const wchar_t*> expected[] = {
        {L"v", L"1"}, {L"t", L"event"}, {L"tid", L"UA-48151623-42"}, {L"cid", cid.c_str()},
        {L"ec", L"Screenshot.Region"}, {L"ea", L"Launch on Hotkey"}, {L"el", L"Server + Local"},
        {L"ev", L"5.000000"}, {L"an", L"BrivaneWin"}, {L"av", L"1.2.3.4"}};
    for (const auto& field : expected) {
        const JsonValue* v = event->Find(field.first);
        ASSERT_TRUE(v) << WideToUtf8(field.first);
        EXPECT_EQ(v->string, field.second) << WideToUtf8(field.first);
    }
}
#endif
