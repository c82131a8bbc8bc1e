#include "SettingsTestSupport.h"

using namespace settings_test;

namespace {

const char kId[] = "{12345678-9ABC-DEF0-1234-56789ABCDEF0}";

std::string FileWith(const std::string& members) {
    return std::string("{\"app_id\":\"") + kId + "\"" + (members.empty() ? "" : "," + members) + "}";
}

}  // namespace

TEST_F(SettingsTest, NoFileGivesDefaultsAndKeepsTheNewIdAcrossStarts) {
    auto m = Load();
    EXPECT_EQ(m->GetScreenshotsSavePath(), L"C:\\Users\\u\\Desktop");
    EXPECT_EQ(m->GetScreenshotsLastSavePath(), L"C:\\Users\\u\\Desktop");
    EXPECT_EQ(m->GetVideoSavePath(), L"C:\\Users\\u\\Desktop");
    EXPECT_EQ(m->GetAvailableVersion(), L"1.2.3.4");
    EXPECT_EQ(m->GetStorageType(), 2);
    EXPECT_EQ(m->GetVideoSaveType(), 0);
    EXPECT_EQ(m->GetImageTypeId(), 1);
    EXPECT_EQ(m->GetJpegQuality(), 90);
    EXPECT_EQ(m->GetMaxUploadFileSize(), 2147483648u);
    EXPECT_EQ(m->GetDrawColor(), 255u);
    EXPECT_EQ(m->GetVideoQualityLevel(), 1);
    EXPECT_TRUE(m->GetNeedCaptureCursor());
    EXPECT_TRUE(m->GetShowVideoControlPanel());
    EXPECT_FALSE(m->GetNeedCaptureMic());
    HotkeySet hk = m->GetHotkeys();
    EXPECT_EQ(hk[HotkeySlot::FullScreenshot], (HotkeyCombination{16, 44}));
    EXPECT_EQ(hk[HotkeySlot::RegionScreenshot], (HotkeyCombination{44}));
    EXPECT_EQ(hk[HotkeySlot::ActiveWindowScreenshot], (HotkeyCombination{164, 44}));
    EXPECT_EQ(hk[HotkeySlot::DrawModeActivation], (HotkeyCombination{17}));
    EXPECT_EQ(hk[HotkeySlot::VideoModeActivation], (HotkeyCombination{17, 16}));
    EXPECT_EQ(hk[HotkeySlot::VideoRecordingActivation], (HotkeyCombination{17, 16, 44}));
    EXPECT_TRUE(hk[HotkeySlot::RegionScreenshotByMouse].empty());
    std::wstring id = m->GetAppId();
    EXPECT_EQ(id, L"{00000000-0000-0000-0000-000000000001}");
    // Written at once, although nothing changed: an offline run without a change must
    // not lose the new installation id.
    EXPECT_FALSE(m->IsDirty());
    ASSERT_TRUE(fs::exists(m_dir / "settings.json"));
    auto second = Load();
    EXPECT_EQ(second->GetAppId(), id);
    EXPECT_EQ(m_guidsMade, 1);
}

TEST_F(SettingsTest, EmptyObjectLoadsDefaultsWithoutMigrationAndSavesTheNewId) {
    WriteSettings("{}");
    FakeLegacyStore legacy;
    legacy.dwords[L"Software\\Brivane\\Settings\\jpeg_quality"] = 33;
    auto m = Load(&legacy);
    EXPECT_EQ(m->GetJpegQuality(), 90);   // the registry was not read
    EXPECT_EQ(legacy.deleteCalls, 0);
    EXPECT_EQ(m_guidsMade, 1);
    auto root = ParsedSettings();
    ASSERT_TRUE(root);
    ASSERT_TRUE(root->Find(L"app_id"));
    EXPECT_EQ(root->Find(L"app_id")->string, m->GetAppId());
}

TEST_F(SettingsTest, KeysOfTheWrongTypeOrEmptyTakeTheirDefaults) {
    WriteSettings(FileWith(
        "\"storage_type\":\"6\",\"capture_cursor\":0,\"hotkey_region_screenshot\":\"\","
        "\"hotkey_full_screenshot\":\"x\",\"screenshots_path\":\"\",\"jpeg_quality\":77.9,"
        "\"screenshots_last_save_path\":5,\"play_sound\":false,\"video_storage_type\":1"));
    auto m = Load();
    EXPECT_EQ(m->GetStorageType(), 2);
    EXPECT_TRUE(m->GetNeedCaptureCursor());
    EXPECT_EQ(m->GetHotkeys()[HotkeySlot::RegionScreenshot], (HotkeyCombination{44}));
    EXPECT_TRUE(m->GetHotkeys()[HotkeySlot::FullScreenshot].empty());
    EXPECT_EQ(m->GetScreenshotsSavePath(), L"C:\\Users\\u\\Desktop");
    EXPECT_EQ(m->GetScreenshotsLastSavePath(), L"C:\\Users\\u\\Desktop");
    EXPECT_EQ(m->GetJpegQuality(), 77);
    EXPECT_FALSE(m->GetNeedPlaySound());
    EXPECT_EQ(m->GetVideoSaveType(), 1);
    EXPECT_EQ(m->GetAppId(), L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    EXPECT_EQ(m_guidsMade, 0);
    // Nothing was generated or migrated: nothing is written until a change.
    EXPECT_EQ(CountEvents(L"WriteJsonFileOk-2"), 0);
}

TEST_F(SettingsTest, DesktopFolderFallsBackToTheProgramFolder) {
    m_context.desktopFolder.clear();
    WriteSettings(FileWith(""));
    auto m = Load();
    EXPECT_EQ(m->GetScreenshotsSavePath(), L"C:\\Program Files\\Brivane");
    EXPECT_EQ(m->GetVideoSavePath(), L"C:\\Program Files\\Brivane");
}

TEST_F(SettingsTest, NumbersThatDoNotFitTakeTheirDefaults) {
    struct Case { const char* json; int storage; unsigned maxUpload; unsigned color; unsigned ts; };
    const Case kCases[] = {
        {"\"storage_type\":6.9,\"max_upload_file_size\":4294967295,\"editor_color\":16777215,"
         "\"notify_new_version_last_ts\":1700000001", 6, 4294967295u, 16777215u, 1700000001u},
        {"\"storage_type\":1e20,\"max_upload_file_size\":-1,\"editor_color\":1e400,"
         "\"notify_new_version_last_ts\":4294967296", 2, 2147483648u, 255u, 0u},
        {"\"storage_type\":-1e400,\"max_upload_file_size\":1e10,\"editor_color\":-5,"
         "\"notify_new_version_last_ts\":-0.5", 2, 2147483648u, 255u, 0u},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.json);
        WriteSettings(FileWith(c.json));
        auto m = Load();
        EXPECT_EQ(m->GetStorageType(), c.storage);
        EXPECT_EQ(m->GetMaxUploadFileSize(), c.maxUpload);
        EXPECT_EQ(m->GetDrawColor(), c.color);
        EXPECT_EQ(m->GetLastTimeInSecsNewVersionWasShown(), c.ts);
    }
}

TEST_F(SettingsTest, EnumeratedValuesOutOfRangeTakeTheirDefaults) {
    WriteSettings(FileWith("\"screenshot_file_type\":5,\"video_quality_level\":9,"
                           "\"storage_type\":0,\"video_storage_type\":3,\"jpeg_quality\":101"));
    auto m = Load();
    EXPECT_EQ(m->GetImageTypeId(), 1);
    EXPECT_EQ(m->GetVideoQualityLevel(), 1);
    EXPECT_EQ(m->GetStorageType(), 2);
    EXPECT_EQ(m->GetVideoSaveType(), 0);
    EXPECT_EQ(m->GetJpegQuality(), 90);
    EXPECT_EQ(ImageFileExtension(5), L".jpg");

    WriteSettings(FileWith("\"screenshot_file_type\":0,\"video_quality_level\":2,"
                           "\"storage_type\":6,\"video_storage_type\":1,\"jpeg_quality\":0"));
    m = Load();
    EXPECT_EQ(m->GetImageTypeId(), 0);
    EXPECT_EQ(m->GetVideoQualityLevel(), 2);
    EXPECT_EQ(m->GetStorageType(), 6);
    EXPECT_EQ(m->GetVideoSaveType(), 1);
    EXPECT_EQ(m->GetJpegQuality(), 0);
}

TEST_F(SettingsTest, MouseSlotsFollowTheirOptions) {
    WriteSettings(FileWith("\"use_lr_mouse_for_regio_screenshot\":true,"
                           "\"use_lr_mouse_for_video_recording\":true"));
    auto m = Load();
    HotkeySet hk = m->GetHotkeys();
    EXPECT_EQ(hk[HotkeySlot::RegionScreenshotByMouse], (HotkeyCombination{1, 2}));
    EXPECT_EQ(hk[HotkeySlot::VideoRecordingByMouse], (HotkeyCombination{17, 16, 1, 2}));
    EXPECT_TRUE(m->GetUseLRMouseForRegioScreenshot());
}

TEST_F(SettingsTest, FileUidsInBothForms) {
    struct Case { const char* json; std::vector<std::string> uids; };
    const Case kCases[] = {
        {"\"file_uids\":\"\\\"b\\\" \\\"a\\\" \\\"b\\\"\"", {"a", "b"}},
        {"\"file_uids\":[\"b\",\"a\",\"b\",7,\"\\u00e9\"]", {"b", "a", "b", "\xC3\xA9"}},
        {"\"file_uids\":12", {}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.json);
        WriteSettings(FileWith(c.json));
        auto m = Load();
        EXPECT_EQ(m->GetScreenshotUids(), c.uids);
    }
}

TEST_F(SettingsTest, OverlongLegacyFileUidsTextIsDropped) {
    WriteSettings(FileWith("\"file_uids\":\"" + std::string(241, 'q') + "\""));
    auto m = Load();
    EXPECT_TRUE(m->GetScreenshotUids().empty());
    bool found = false;
    for (const SettingsEvent& e : Events()) {
        if (e.action == L"Error") {
            EXPECT_EQ(e.label, L"Load 241.000000 file_uids");
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(SettingsTest, UnusableFilesNeverCrashAndKeepAReadableId) {
    const std::string full = FileWith("\"jpeg_quality\":55,\"storage_type\":6");
    struct Case {
        const char* name;
        std::string bytes;
        const wchar_t* event;
        bool keepsId;
    };
    const Case kCases[] = {
        {"empty", "", L"ParseJsonFileError", false},
        {"blanks", "  \r\n", L"ParseJsonFileError", false},
        {"not an object", "[1,2]", L"ParseJsonFileError", false},
        {"garbage", "\x01\x02zz{{", L"ParseJsonFileError", false},
        {"truncated", full.substr(0, full.size() - 9), L"ParseJsonFileError", true},
        {"invalid UTF-8", FileWith("\"screenshots_path\":\"C:\\\\\xFF\xFE\""), L"ReadJsonFileError", true},
        {"byte-order mark", "\xEF\xBB\xBF" + full, L"ParseJsonFileError", true},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        WriteSettings(c.bytes);
        ClearEvents();
        auto m = Load();
        EXPECT_EQ(CountEvents(c.event), 1);
        if (c.keepsId) {
            EXPECT_EQ(m->GetAppId(), L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
        } else {
            EXPECT_EQ(m->GetAppId().size(), 38u);
        }
        // The migration ran (defaults) and its result is on disk at once.
        EXPECT_EQ(m->GetJpegQuality(), 90);
        auto root = ParsedSettings();
        ASSERT_TRUE(root);
        EXPECT_EQ(root->Find(L"app_id")->string, m->GetAppId());
    }
}

TEST_F(SettingsTest, InvalidUtf8ReportsTheReadFailureText) {
    WriteSettings("{\"app_id\":\"\xC3\x28\"}");
    auto m = Load();
    ASSERT_EQ(CountEvents(L"ReadJsonFileError"), 1);
    for (const SettingsEvent& e : Events()) {
        if (e.action == L"ReadJsonFileError") {
            EXPECT_EQ(e.category, L"Settings");
            EXPECT_NE(e.label.find(L"invalid UTF-8"), std::wstring::npos);
        }
    }
}

TEST_F(SettingsTest, RegistryMigrationIsSavedBeforeTheKeyIsDeleted) {
    FakeLegacyStore legacy;
    legacy.strings[L"Software\\Brivane\\appId"] = L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
    legacy.strings[L"Software\\Brivane\\directory"] = L"C:\\old";
    legacy.strings[L"Software\\Brivane\\Settings\\screenshots_path"] = L"D:\\shots";
    legacy.strings[L"Software\\Brivane\\Settings\\hotkey_region_scr"] = L"17,45";
    legacy.strings[L"Software\\Brivane\\Settings\\screenshotUids"] = L"\"u2\" \"u1\" \"u2\"";
    legacy.dwords[L"Software\\Brivane\\Settings\\storage_type"] = 5;
    legacy.dwords[L"Software\\Brivane\\Settings\\image_type"] = 7;   // out of range
    legacy.dwords[L"Software\\Brivane\\Settings\\need_cap_cursor"] = 0;
    legacy.dwords[L"Software\\Brivane\\Settings\\use_lrmouse_for_video_recording"] = 1;
    legacy.dwords[L"Software\\Brivane\\Settings\\draw_color"] = 16777215;
    auto m = Load(&legacy);
    EXPECT_EQ(m->GetAppId(), L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");
    EXPECT_EQ(m->GetScreenshotsSavePath(), L"D:\\shots");
    EXPECT_EQ(m->GetScreenshotsLastSavePath(), L"D:\\shots");
    EXPECT_EQ(m->GetVideoSavePath(), L"C:\\Users\\u\\Desktop");
    EXPECT_EQ(m->GetStorageType(), 5);
    EXPECT_EQ(m->GetImageTypeId(), 1);
    EXPECT_FALSE(m->GetNeedCaptureCursor());
    EXPECT_EQ(m->GetDrawColor(), 16777215u);
    EXPECT_EQ(m->GetHotkeys()[HotkeySlot::RegionScreenshot], (HotkeyCombination{17, 45}));
    EXPECT_EQ(m->GetHotkeys()[HotkeySlot::FullScreenshot], (HotkeyCombination{16, 44}));
    EXPECT_EQ(m->GetHotkeys()[HotkeySlot::VideoRecordingByMouse], (HotkeyCombination{17, 16, 1, 2}));
    EXPECT_EQ(m->GetScreenshotUids(), (std::vector<std::string>{"u2", "u1", "u2"}));
    EXPECT_EQ(legacy.deleteCalls, 1);
    EXPECT_FALSE(m->IsDirty());
    // A second start reads the file, not the (now deleted) registry.
    auto again = Load(&legacy);
    EXPECT_EQ(again->GetAppId(), L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");
    EXPECT_EQ(again->GetScreenshotsSavePath(), L"D:\\shots");
    EXPECT_EQ(again->GetDrawColor(), 16777215u);
}

TEST_F(SettingsTest, FailedSaveAfterMigrationKeepsTheRegistry) {
    FakeLegacyStore legacy;
    legacy.strings[L"Software\\Brivane\\appId"] = L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
    m_path = (m_dir / "missing-folder" / "settings.json").wstring();
    auto m = Load(&legacy);
    EXPECT_EQ(m->GetAppId(), L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");
    EXPECT_EQ(legacy.deleteCalls, 0);
    EXPECT_TRUE(m->IsDirty());   // the autosave retries
    EXPECT_EQ(CountEvents(L"WriteJsonFileError-2"), 1);
}

TEST_F(SettingsTest, StaleTemporaryFilesOfKilledSavesAreRemoved) {
    WriteSettings(FileWith(""));
    WriteBytes(m_dir / "settings.json.Ab12", "{\"half");
    WriteBytes(m_dir / "settings.json.bak", "keep");
    WriteBytes(m_dir / "settings.json.Ab1", "keep");
    auto m = Load();
    EXPECT_EQ(FolderEntries(m_dir),
              (std::vector<std::string>{"settings.json", "settings.json.Ab1", "settings.json.bak"}));
}

TEST_F(SettingsTest, ServiceAddressesHaveDefaultsAndOverrides) {
    WriteSettings(FileWith(""));
    auto m = Load();
    EXPECT_EQ(m->GetServerUrlValue(), SettingsManager::kDefaultServerUrl);
    EXPECT_EQ(m->GetSiteUrlValue(), SettingsManager::kDefaultSiteUrl);
    EXPECT_EQ(m->GetLinkHostValue(), SettingsManager::kDefaultLinkHost);
    EXPECT_EQ(m->GetAnalyticsUrlValue(), SettingsManager::kDefaultServerUrl);
    EXPECT_EQ(std::wstring(SettingsManager::kDefaultSiteUrl).substr(0, 7), L"http://");

    WriteSettings(FileWith("\"server_url\":\"http://127.0.0.1:8080\",\"site_url\":\"http://127.0.0.1:8081\","
                           "\"link_host\":\"http://127.0.0.1:8082\""));
    m = Load();
    EXPECT_EQ(m->GetServerUrlValue(), L"http://127.0.0.1:8080");
    EXPECT_EQ(m->GetSiteUrlValue(), L"http://127.0.0.1:8081");
    EXPECT_EQ(m->GetLinkHostValue(), L"http://127.0.0.1:8082");
    EXPECT_EQ(m->GetAnalyticsUrlValue(), L"http://127.0.0.1:8080");
    EXPECT_EQ(m->GetHistoryPageUrl(), L"http://127.0.0.1:8080/my?appId={12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    m->SetJpegQuality(50);
    ASSERT_TRUE(m->Flush());
    auto root = ParsedSettings();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->Find(L"server_url")->string, L"http://127.0.0.1:8080");
    EXPECT_EQ(root->Find(L"analytics_url"), nullptr);
}

TEST_F(SettingsTest, ShortAppIdTakesOnlyPositionsThatExist) {
    struct Case { const char* id; const wchar_t* shortId; };
    const Case kCases[] = {
        {"{12345678-9ABC-DEF0-1234-56789ABCDEF0}", L"16AE26"},
        {"{12345678-9A}", L"16A"},
        {"x", L""},
    };
    for (const Case& c : kCases) {
        WriteSettings(std::string("{\"app_id\":\"") + c.id + "\"}");
        auto m = Load();
        EXPECT_EQ(m->GetShortAppId(), c.shortId) << c.id;
    }
}

TEST_F(SettingsTest, MigrationStoppedByAnErrorLeavesDefinedValues) {
    FakeLegacyStore legacy;
    legacy.strings[L"Software\\Brivane\\Settings\\screenshots_path"] = L"D:\\shots";
    // The first numeric value fails: every number after it keeps its default.
    legacy.throwAt = L"Software\\Brivane\\Settings\\storage_type";
    legacy.dwords[L"Software\\Brivane\\Settings\\jpeg_quality"] = 12;
    auto m = Load(&legacy);
    EXPECT_EQ(m->GetScreenshotsSavePath(), L"D:\\shots");
    EXPECT_EQ(m->GetStorageType(), 2);
    EXPECT_EQ(m->GetVideoSaveType(), 0);
    EXPECT_EQ(m->GetImageTypeId(), 1);
    EXPECT_EQ(m->GetJpegQuality(), 90);
    EXPECT_EQ(m->GetMaxUploadFileSize(), 2147483648u);
    EXPECT_EQ(m->GetDrawColor(), 255u);
    EXPECT_EQ(m->GetAppId().size(), 38u);
    EXPECT_EQ(m->GetAppId(), Load()->GetAppId());
}
