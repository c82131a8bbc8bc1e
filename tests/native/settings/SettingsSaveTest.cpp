#include <chrono>
#include <thread>

#include "SettingsTestSupport.h"

using namespace settings_test;

namespace {

const char kFile[] = "{\"app_id\":\"{12345678-9ABC-DEF0-1234-56789ABCDEF0}\"}";

const std::vector<std::wstring> kAllKeys = {
    L"app_id", L"app_root", L"available_version", L"capture_audio", L"capture_cursor",
    L"capture_mic", L"editor_color", L"file_uids", L"hotkey_active_window_screenshot",
    L"hotkey_draw_mode_activation", L"hotkey_full_screenshot", L"hotkey_region_screenshot",
    L"hotkey_video_mode_activation", L"hotkey_video_recoding_activation", L"jpeg_quality",
    L"max_upload_file_size", L"notify_new_version", L"notify_new_version_last_ts",
    L"open_screenshot_in_browser", L"open_video_in_browser", L"play_sound",
    L"screenshot_file_type", L"screenshots_last_save_path", L"screenshots_path",
    L"select_and_draw_mode", L"show_video_control_panel", L"silent_mode", L"storage_type",
    L"use_lr_mouse_for_regio_screenshot", L"use_lr_mouse_for_video_recording",
    L"use_screenshot_direct_file_link", L"use_video_direct_file_link", L"video_quality_level",
    L"video_save_path", L"video_storage_type"};

// The member names of the object text in the order they appear.
std::vector<std::wstring> KeysInOrder(const std::string& text) {
    std::vector<std::wstring> keys;
    int depth = 0;
    bool inString = false, expectKey = false;
    std::string current;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\') { current += text[++i]; continue; }
            if (c == '"') {
                inString = false;
                if (expectKey) keys.push_back(std::wstring(current.begin(), current.end()));
                expectKey = false;
                continue;
            }
            current += c;
            continue;
        }
        if (c == '"') { inString = true; current.clear(); continue; }
        if (c == '{' || c == '[') { ++depth; expectKey = c == '{' && depth == 1; }
        if (c == '}' || c == ']') --depth;
        if (c == ',' && depth == 1) expectKey = true;
    }
    return keys;
}

// The text with the contents of every string left out.
std::string OutsideStrings(const std::string& text) {
    std::string out;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (inString && text[i] == '\\') { ++i; continue; }
        if (text[i] == '"') inString = !inString;
        else if (!inString) out += text[i];
    }
    return out;
}

}  // namespace

TEST_F(SettingsTest, SavedFileIsCompactSortedUtf8WithEveryKey) {
    WriteSettings(kFile);
    auto m = Load();
    m->SetScreenshotsSavePath(L"C:\\Users\\J\u00E9r\u00F4me\\Pictures");
    m->SetScreenshotUids({"b1", "a2"});
    m->SetAvailableVersion(L"a/b\"q\"");
    ASSERT_TRUE(m->Flush());
    std::string bytes = SettingsBytes();
    EXPECT_EQ(bytes.rfind("{\"app_id\":", 0), 0u);
    EXPECT_EQ(OutsideStrings(bytes).find_first_of(" \n\r\t"), std::string::npos);
    EXPECT_EQ(KeysInOrder(bytes), kAllKeys);
    // UTF-8 without a byte-order mark.
    EXPECT_NE(bytes.find("J\xC3\xA9r\xC3\xB4me"), std::string::npos);
    EXPECT_NE(bytes.find("\"file_uids\":[\"b1\",\"a2\"]"), std::string::npos);
    EXPECT_NE(bytes.find("\"hotkey_video_recoding_activation\":\"17,16,44\""), std::string::npos);
    EXPECT_NE(bytes.find("\"available_version\":\"a\\/b\\\"q\\\"\""), std::string::npos);
}

TEST_F(SettingsTest, LargeIntegersRoundTripExactly) {
    WriteSettings(kFile);
    auto m = Load();
    m->SetDrawColor(16777215);            // white
    m->SetMaxUploadFileSize(2147483648u);
    m->SetLastTimeInSecsNewVersionWasShown(1700000123u);
    ASSERT_TRUE(m->Flush());
    std::string bytes = SettingsBytes();
    EXPECT_NE(bytes.find("\"editor_color\":16777215"), std::string::npos);
    EXPECT_NE(bytes.find("\"max_upload_file_size\":2147483648"), std::string::npos);
    auto again = Load();
    EXPECT_EQ(again->GetDrawColor(), 16777215u);
    EXPECT_EQ(again->GetMaxUploadFileSize(), 2147483648u);
    EXPECT_EQ(again->GetLastTimeInSecsNewVersionWasShown(), 1700000123u);
}

TEST_F(SettingsTest, MoreThanTwentyIdentifiersAreCutToTen) {
    WriteSettings(kFile);
    auto m = Load();
    std::vector<std::string> uids;
    for (int i = 0; i < 25; ++i) uids.push_back("id" + std::to_string(i));
    m->SetScreenshotUids(uids);
    ASSERT_TRUE(m->Flush());
    std::vector<std::string> first10(uids.begin(), uids.begin() + 10);
    EXPECT_EQ(m->GetScreenshotUids(), first10);
    EXPECT_EQ(Load()->GetScreenshotUids(), first10);
    bool found = false;
    for (const SettingsEvent& e : Events()) {
        if (e.action == L"Error") {
            EXPECT_EQ(e.label, L"Save m_screenshotUids size = 25.000000");
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(SettingsTest, EverySetterMarksDirtyAndSeveralChangesGiveOneSave) {
    WriteSettings(kFile);
    auto m = Load();
    EXPECT_FALSE(m->IsDirty());
    m->SetJpegQuality(m->GetJpegQuality());   // the same value still counts
    EXPECT_TRUE(m->IsDirty());
    m->SetSilentMode(true);
    m->SetVideoQualityLevel(2);
    m->AutosavePass();
    EXPECT_FALSE(m->IsDirty());
    m->AutosavePass();   // nothing pending: no second save
    EXPECT_EQ(CountEvents(L"WriteJsonFileOk-2"), 1);
    auto again = Load();
    EXPECT_TRUE(again->GetSilentMode());
    EXPECT_EQ(again->GetVideoQualityLevel(), 2);
}

TEST_F(SettingsTest, ReadOnlyFileStaysIntactWithoutATemporaryFile) {
    WriteSettings(kFile);
    auto m = Load();
    fs::permissions(m_dir / "settings.json",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    m->SetJpegQuality(42);
    EXPECT_FALSE(m->Flush());
    EXPECT_EQ(SettingsBytes(), kFile);
    EXPECT_EQ(FolderEntries(m_dir), std::vector<std::string>{"settings.json"});
    EXPECT_EQ(CountEvents(L"DeleteJsonFileError-2"), 1);
    EXPECT_EQ(CountEvents(L"MoveJsonFileError-2"), 0);
}

TEST_F(SettingsTest, FailedSaveIsRetriedWithoutAnotherChangeAndReportedOnce) {
    WriteSettings(kFile);
    auto m = Load();
    fs::permissions(m_dir / "settings.json",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    m->SetJpegQuality(42);
    m->AutosavePass();
    m->AutosavePass();
    m->AutosavePass();
    EXPECT_TRUE(m->IsDirty());
    EXPECT_EQ(CountEvents(L"DeleteJsonFileError-2"), 1);
    fs::permissions(m_dir / "settings.json", fs::perms::owner_all);
    m->AutosavePass();   // no new change: the pending one is written now
    EXPECT_FALSE(m->IsDirty());
    EXPECT_EQ(Load()->GetJpegQuality(), 42);
    // A new run of failures is reported again.
    fs::permissions(m_dir / "settings.json", fs::perms::owner_read);
    m->SetJpegQuality(43);
    m->AutosavePass();
    EXPECT_EQ(CountEvents(L"DeleteJsonFileError-2"), 2);
}

TEST_F(SettingsTest, AutosaveThreadWritesAChangeAndStopsPromptly) {
    WriteSettings(kFile);
    auto m = Load();
    m->StartAutosave(20);
    m->SetNeedCaptureMic(true);
    for (int i = 0; i < 200 && m->IsDirty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(m->IsDirty());
    auto start = std::chrono::steady_clock::now();
    m->StopAutosave();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(Load()->GetNeedCaptureMic());
}

TEST_F(SettingsTest, SettersFromManyThreadsDuringAutosaveAreAllSaved) {
    WriteSettings(kFile);
    auto m = Load();
    m->StartAutosave(1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&m, t] {
            for (int i = 0; i <= 50; ++i) {
                if (t == 0) m->SetJpegQuality(i);
                if (t == 1) m->SetDrawColor(static_cast<unsigned>(i));
                if (t == 2) m->SetScreenshotUids({"u" + std::to_string(i)});
                if (t == 3) (void)m->GetHotkeys();
            }
        });
    }
    for (auto& th : threads) th.join();
    m->StopAutosave();
    ASSERT_TRUE(m->Flush());
    auto again = Load();
    EXPECT_EQ(again->GetJpegQuality(), 50);
    EXPECT_EQ(again->GetDrawColor(), 50u);
    EXPECT_EQ(again->GetScreenshotUids(), std::vector<std::string>{"u50"});
}

TEST_F(SettingsTest, FlushWritesAPendingChange) {
    WriteSettings(kFile);
    auto m = Load();
    EXPECT_TRUE(m->Flush());   // nothing pending
    EXPECT_EQ(CountEvents(L"WriteJsonFileOk-2"), 0);
    m->SetOpenScreenshotInBrowser(false);
    EXPECT_TRUE(m->Flush());
    EXPECT_FALSE(Load()->GetOpenScreenshotInBrowser());
}

TEST_F(SettingsTest, EventsAreSentWithoutTheSettingsLockHeld) {
    WriteSettings(kFile);
    auto m = Load();
    SettingsManager* raw = m.get();
    std::atomic<int> readsInSink{0};
    // A sink that reads a setting, as an analytics caller holding no lock could: it
    // would deadlock if events went out under the settings mutex.
    m->SetEventSink([raw, &readsInSink](const SettingsEvent&) {
        (void)raw->GetJpegQuality();
        ++readsInSink;
    });
    m->SetJpegQuality(12);
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([raw, done] {
        raw->Flush();
        *done = true;
    }).detach();
    for (int i = 0; i < 500 && !*done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(*done) << "the save sent its event while holding the settings lock";
    EXPECT_GE(readsInSink.load(), 1);
}
