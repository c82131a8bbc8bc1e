#pragma once
// Shared fixture of the settings tests: a fresh folder, a manager that records its
// events instead of sending them, and a fixed load context.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/Json.h"
#include "settings/LegacySettingsStore.h"
#include "settings/SettingsManager.h"

namespace settings_test {

namespace fs = std::filesystem;

inline fs::path FreshFolder(const std::string& name) {
    static std::atomic<int> counter{0};
    fs::path dir = fs::path(testing::TempDir()) /
                   ("brivane_settings_" + name + "_" + std::to_string(counter++));
    std::error_code ec;
    fs::permissions(dir / "settings.json", fs::perms::owner_all, ec);
    fs::remove_all(dir, ec);
    fs::create_directories(dir);
    return dir;
}

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::vector<std::string> FolderEntries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A registry of an older version, as a map from value path to value.
class FakeLegacyStore : public ILegacySettingsStore {
public:
    std::map<std::wstring, uint32_t> dwords;
    std::map<std::wstring, std::wstring> strings;
    int deleteCalls = 0;
    bool deleteResult = true;
    std::wstring throwAt;   // reading this value path fails with an exception

    uint32_t ReadDword(const std::wstring& path, uint32_t def) override {
        if (path == throwAt) throw std::runtime_error("registry read failed");
        auto it = dwords.find(path);
        return it == dwords.end() ? def : it->second;
    }
    std::wstring ReadString(const std::wstring& path, const std::wstring& def) override {
        if (path == throwAt) throw std::runtime_error("registry read failed");
        auto it = strings.find(path);
        return it == strings.end() ? def : it->second;
    }
    bool DeleteAll() override {
        ++deleteCalls;
        if (deleteResult) { dwords.clear(); strings.clear(); }
        return deleteResult;
    }
};

class SettingsTest : public testing::Test {
protected:
    void SetUp() override {
        m_dir = FreshFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        m_path = (m_dir / "settings.json").wstring();
        m_context.exeFolder = L"C:\\Program Files\\Brivane";
        m_context.desktopFolder = L"C:\\Users\\u\\Desktop";
        m_context.productVersion = L"1.2.3.4";
        m_context.newGuid = [this] {
            ++m_guidsMade;
            wchar_t buf[64];
            swprintf(buf, 64, L"{00000000-0000-0000-0000-%012d}", m_guidsMade);
            return std::wstring(buf);
        };
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(m_dir / "settings.json", fs::perms::owner_all, ec);
    }

    // A manager loaded from the current folder; events go to m_events.
    std::unique_ptr<SettingsManager> Load(ILegacySettingsStore* legacy = nullptr) {
        auto manager = std::make_unique<SettingsManager>();
        manager->SetEventSink([this](const SettingsEvent& e) {
            std::lock_guard<std::mutex> lock(m_eventsMutex);
            m_events.push_back(e);
        });
        EmptyLegacySettingsStore empty;
        manager->Load(m_path, m_context, legacy ? *legacy : empty);
        return manager;
    }

    void WriteSettings(const std::string& bytes) { WriteBytes(m_dir / "settings.json", bytes); }
    std::string SettingsBytes() { return ReadBytes(m_dir / "settings.json"); }
    std::unique_ptr<JsonValue> ParsedSettings() {
        std::string bytes = SettingsBytes();
        return Json::Parse(std::wstring(bytes.begin(), bytes.end()));
    }

    int CountEvents(const std::wstring& action) {
        std::lock_guard<std::mutex> lock(m_eventsMutex);
        int n = 0;
        for (const auto& e : m_events) n += e.action == action;
        return n;
    }
    std::vector<SettingsEvent> Events() {
        std::lock_guard<std::mutex> lock(m_eventsMutex);
        return m_events;
    }
    void ClearEvents() {
        std::lock_guard<std::mutex> lock(m_eventsMutex);
        m_events.clear();
    }

    fs::path m_dir;
    std::wstring m_path;
    SettingsLoadContext m_context;
    int m_guidsMade = 0;
    std::mutex m_eventsMutex;
    std::vector<SettingsEvent> m_events;
};

}  // namespace settings_test

namespace settings_test {

// The body of a process that saves settings over and over until it is killed: each
// pass changes a value and writes the file (about 3 KB) at once. A saver whose kill
// went astray ends by itself after kSaverLifetime, so no stray process outlives the
// test for long (under Wine it would hold the test runner's output pipe).
constexpr std::chrono::seconds kSaverLifetime{20};

[[noreturn]] inline void SaveUntilKilled(const std::wstring& path) {
    const auto deadline = std::chrono::steady_clock::now() + kSaverLifetime;
    SettingsManager saver;
    saver.SetEventSink([](const SettingsEvent&) {});
    SettingsLoadContext context;
    context.exeFolder = L"C:\\Program Files\\Brivane";
    context.productVersion = L"1.2.3.4";
    context.newGuid = [] { return std::wstring(L"{FFFFFFFF-0000-0000-0000-000000000000}"); };
    EmptyLegacySettingsStore legacy;
    saver.Load(path, context, legacy);
    for (unsigned i = 0; std::chrono::steady_clock::now() < deadline; ++i) {
        std::vector<std::string> uids;
        for (int k = 0; k < 20; ++k) uids.push_back(std::string(100, char('a' + (i + k) % 26)));
        saver.SetScreenshotUids(uids);
        saver.SetJpegQuality(static_cast<int>(i % 100));
        saver.Flush();
    }
    std::_Exit(3);
}

// Checks what a killed saver left: a settings.json that parses completely, holds
// every key and the installation id it started with.
inline void ExpectCompleteSettings(const fs::path& file, const std::wstring& appId) {
    std::string bytes = ReadBytes(file);
    auto root = Json::Parse(std::wstring(bytes.begin(), bytes.end()));
    ASSERT_TRUE(root) << "settings.json is not complete: " << bytes.size() << " bytes";
    ASSERT_EQ(root->type, JsonType::Object);
    EXPECT_EQ(root->object.size(), 35u);
    ASSERT_TRUE(root->Find(L"app_id"));
    EXPECT_EQ(root->Find(L"app_id")->string, appId);
    ASSERT_TRUE(root->Find(L"file_uids"));
    size_t uids = root->Find(L"file_uids")->array.size();
    EXPECT_TRUE(uids == 0 || uids == 20) << uids;
}

}  // namespace settings_test
