#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "foundation/Folders.h"
#include "foundation/SupportLogs.h"
#include "foundation/SupportLogsZip.h"
#include "foundation/Utf.h"
#include "ZipReadBack.h"

namespace {

constexpr UINT kLogsZipped = 0x462;
constexpr UINT kUploadFile = 0x411;

struct Received {
    UINT message;
    std::wstring path;  // for the upload message
    double atMs;
};
std::vector<Received> g_received;
std::chrono::steady_clock::time_point g_start;

LRESULT CALLBACK RecorderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kLogsZipped || msg == kUploadFile) {
        Received r{msg, L"", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - g_start).count()};
        if (msg == kUploadFile) {
            auto* path = reinterpret_cast<std::wstring*>(lp);
            r.path = *path;
            delete path;  // the receiver owns it
        }
        g_received.push_back(r);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND RecorderWindow() {
    static HWND hwnd = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = RecorderProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SupportLogsRecorder";
        RegisterClassW(&wc);
        return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }();
    return hwnd;
}

void PumpUntil(size_t count, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (g_received.size() < count && std::chrono::steady_clock::now() < end) {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        Sleep(10);
    }
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(WideToUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::wstring& path, const std::string& data) {
    std::ofstream(WideToUtf8(path), std::ios::binary) << data;
}

std::map<std::string, std::string> ZipContents(const std::string& b) {
    std::map<std::string, std::string> out;
    for (const auto& e : ZipReadBack(b)) out[e.first] = e.second.content;
    return out;
}

class SupportLogs : public ::testing::Test {
protected:
    void SetUp() override {
        g_received.clear();
        wchar_t unique[64];
        swprintf(unique, 64, L"supportlogs_%lu_%lu", GetCurrentProcessId(), GetTickCount());
        m_dir = GetTempFolder() + unique;
        CreateDirectoryW(m_dir.c_str(), nullptr);
        m_logs = m_dir + L"\\log";
        CreateDirectoryW(m_logs.c_str(), nullptr);
        m_settings = m_dir + L"\\settings.json";
    }
    void TearDown() override {
        for (const std::wstring& f : m_cleanup) DeleteFileW(f.c_str());
        for (const std::wstring& f : {L"\\log\\cvxlog_240101_101010.log", L"\\log\\cvxlog_240102_111111.log",
                                      L"\\settings.json"}) {
            DeleteFileW((m_dir + f).c_str());
        }
        RemoveDirectoryW(m_logs.c_str());
        RemoveDirectoryW(m_dir.c_str());
    }

    SupportLogsRequest Request() {
        SupportLogsRequest r;
        r.notifyWindow = RecorderWindow();
        r.mainWindow = RecorderWindow();
        r.logFolder = m_logs;
        r.settingsPath = m_settings;
        return r;
    }

    // A clock on which every reading is 2500 ms after the previous one: a slow run.
    static std::function<int64_t()> SlowClock() {
        auto t = std::make_shared<int64_t>(0);
        return [t] { return *t += 2500; };
    }

    // Runs the request and returns the zip path from the upload message ("" without one).
    std::wstring RunAndWait(const SupportLogsRequest& r, size_t expectedMessages) {
        g_start = std::chrono::steady_clock::now();
        EXPECT_TRUE(CreateSupportLogsZip(r));
        PumpUntil(expectedMessages, 8000);
        PumpUntil(expectedMessages + 1, 300);  // nothing more arrives
        EXPECT_EQ(g_received.size(), expectedMessages);
        if (g_received.empty()) return L"";
        EXPECT_EQ(g_received[0].message, kLogsZipped);
        if (g_received.size() < 2) return L"";
        EXPECT_EQ(g_received[1].message, kUploadFile);
        const std::wstring zip = g_received[1].path;
        std::wstring copy = zip;
        copy.replace(copy.find(L"cvxlogs_"), 8, L"cvxlogs_settings_");
        copy.replace(copy.size() - 4, 4, L".json");
        m_cleanup = {zip, copy};
        return zip;
    }

    std::wstring m_dir, m_logs, m_settings;
    std::vector<std::wstring> m_cleanup;
};

TEST_F(SupportLogs, PacksLogsAndSettingsThenPostsInOrder) {
    std::string bigLog;
    for (int i = 0; i < 5000; ++i) bigLog += "10:10:10: HotkeysManager::EnableHandlers " + std::to_string(i) + "\n";
    WriteAll(m_logs + L"\\cvxlog_240101_101010.log", bigLog);
    WriteAll(m_logs + L"\\cvxlog_240102_111111.log", "11:11:11: one line\n");
    const std::string settings = "{\"available_version\":\"3.10.0.58\",\"\xc3\xa4\":1}";
    WriteAll(m_settings, settings);

    const std::wstring zip = RunAndWait(Request(), 2);
    ASSERT_FALSE(zip.empty());
    // A quick job waits 3 s before it tells anyone.
    EXPECT_GE(g_received[0].atMs, 2900);
    EXPECT_LE(g_received[0].atMs, 4500);
    EXPECT_TRUE(std::regex_search(WideToUtf8(zip), std::regex(R"(\\\\cvxlogs_\d{5,6}_\d{6}\.zip$)"))) << WideToUtf8(zip);
    EXPECT_EQ(zip.rfind(GetTempFolder() + L"\\cvxlogs_", 0), 0u);  // the doubled separator is kept

    const auto entries = ZipContents(ReadAll(zip));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries.at("cvxlog_240101_101010.log"), bigLog);
    EXPECT_EQ(entries.at("cvxlog_240102_111111.log"), "11:11:11: one line\n");
    EXPECT_EQ(entries.at("settings.json"), settings);
    // Both files stay in the temporary folder.
    EXPECT_NE(GetFileAttributesW(m_cleanup[1].c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SupportLogs, EmptyLogFolderGivesOnlySettingsAndASlowRunPostsAtOnce) {
    WriteAll(m_settings, "{}");
    SupportLogsRequest r = Request();
    r.nowMs = SlowClock();
    const std::wstring zip = RunAndWait(r, 2);
    ASSERT_FALSE(zip.empty());
    EXPECT_LT(g_received[0].atMs, 1500);
    const auto entries = ZipContents(ReadAll(zip));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.at("settings.json"), "{}");
}

TEST_F(SupportLogs, MissingSettingsGivesOnlyTheLogs) {
    WriteAll(m_logs + L"\\cvxlog_240101_101010.log", "a log\n");
    SupportLogsRequest r = Request();
    r.nowMs = SlowClock();
    const std::wstring zip = RunAndWait(r, 2);
    ASSERT_FALSE(zip.empty());
    const auto entries = ZipContents(ReadAll(zip));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.at("cvxlog_240101_101010.log"), "a log\n");
}

TEST_F(SupportLogs, NamesComeFromTheLocalTime) {
    SupportLogsRequest r = Request();
    r.nowMs = SlowClock();
    r.localTime = [](SYSTEMTIME& t) {
        t = SYSTEMTIME{};
        t.wYear = 2009;
        t.wMonth = 1;
        t.wDay = 2;
        t.wHour = 3;
        t.wMinute = 4;
        t.wSecond = 5;
        return true;
    };
    const std::wstring zip = RunAndWait(r, 2);
    EXPECT_EQ(zip, GetTempFolder() + L"\\cvxlogs_90102_030405.zip");
}

TEST_F(SupportLogs, NoLocalTimeStartsNothing) {
    SupportLogsRequest r = Request();
    r.localTime = [](SYSTEMTIME&) { return false; };
    EXPECT_FALSE(CreateSupportLogsZip(r));
    PumpUntil(1, 500);
    EXPECT_TRUE(g_received.empty());
}

TEST_F(SupportLogs, NoZipMeansNoUpload) {
    // A folder where the zip should go makes its creation fail: only the page hears back.
    SupportLogsRequest r = Request();
    r.nowMs = SlowClock();
    r.localTime = [](SYSTEMTIME& t) {
        t = SYSTEMTIME{};
        t.wYear = 2031;
        t.wMonth = 12;
        t.wDay = 31;
        t.wHour = 23;
        t.wMinute = 59;
        t.wSecond = 58;
        return true;
    };
    const std::wstring blocker = GetTempFolder() + L"\\cvxlogs_311231_235958.zip";
    ASSERT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr));
    g_start = std::chrono::steady_clock::now();
    EXPECT_TRUE(CreateSupportLogsZip(r));
    PumpUntil(2, 1200);
    RemoveDirectoryW(blocker.c_str());
    DeleteFileW((GetTempFolder() + L"\\cvxlogs_settings_311231_235958.json").c_str());
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].message, kLogsZipped);
}

}  // namespace
