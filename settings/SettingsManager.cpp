#include "settings/SettingsManager.h"

#include <chrono>
#include <exception>

#include "foundation/File.h"
#include "foundation/Folders.h"
#include "foundation/Guid.h"
#include "foundation/Json.h"
#include "foundation/Log.h"
#include "foundation/Random.h"
#include "foundation/Utf.h"
#include "settings/LegacySettings.h"
#include "settings/LegacySettingsStore.h"
#include "settings/SettingsFileIo.h"


namespace {

bool IsAlnum(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

std::wstring Widen(const std::string& text) { return Utf8ToWideLenient(text); }

}  // namespace

SettingsManager::SettingsManager() : m_pimpl(new SettingsManagerImpl()) {}

SettingsManager::~SettingsManager() {
    StopAutosave();
}

SettingsManager& SettingsManager::Instance() {
    // Deliberately leaked: the exit path runs while the autosave thread may be inside a
    // save, and ExitProcess runs no destructors anyway. Flush() is the exit-time save.
    static SettingsManager* instance = new SettingsManager();
    return *instance;
}

void SettingsManager::LogSet(const char* assignment) {
    Log("SettingsManager: set: %s\n", assignment);
}

void SettingsManager::SetEventSink(EventSink sink) {
    std::lock_guard<std::mutex> lock(m_sinkMutex);
    m_sink = std::move(sink);
}

void SettingsManager::SetCollectorUrlSink(CollectorUrlSink sink) {
    std::lock_guard<std::mutex> lock(m_sinkMutex);
    m_collectorSink = std::move(sink);
}

void SettingsManager::SendEvents(const std::vector<SettingsEvent>& events) {
    EventSink sink;
    {
        std::lock_guard<std::mutex> lock(m_sinkMutex);
        sink = m_sink;
    }
    for (const SettingsEvent& e : events) {
        if (sink) sink(e);
    }
}

void SettingsManager::Init(const std::wstring& settingsPath) {
    Log("SettingsManager::Init\n");
    SettingsLoadContext context;
    context.exeFolder = GetExeDirectory();
    context.desktopFolder = GetDesktopFolder();
    context.productVersion = GetProductVersion();
    context.newGuid = [] { return GenerateGuidString(); };
    std::unique_ptr<ILegacySettingsStore> legacy = CreateLegacySettingsStore();
    std::vector<SettingsEvent> events = LoadAndCollectEvents(settingsPath, context, *legacy);
    // The load's own events go to the collector that the loaded settings name.
    CollectorUrlSink collector;
    {
        std::lock_guard<std::mutex> lock(m_sinkMutex);
        collector = m_collectorSink;
    }
    if (collector) collector(GetAnalyticsUrlValue());
    SendEvents(events);
    StartAutosave();
}

void SettingsManager::Load(const std::wstring& settingsPath, const SettingsLoadContext& context,
                           ILegacySettingsStore& legacy) {
    SendEvents(LoadAndCollectEvents(settingsPath, context, legacy));
}

std::vector<SettingsEvent> SettingsManager::LoadAndCollectEvents(const std::wstring& settingsPath,
                                                                 const SettingsLoadContext& context,
                                                                 ILegacySettingsStore& legacy) {
    Log("SettingsManagerImpl::Load(): start\n");
    m_settingsPath = settingsPath;
    RemoveStaleTemporaryFiles();
    std::vector<SettingsEvent> events;
    bool appIdGenerated = false;
    std::wstring salvagedAppId;
    bool fromFile = false;
    try {
        fromFile = LoadFromJsonFile(context, events, appIdGenerated, salvagedAppId);
    } catch (const std::exception& e) {
        Log("LoadFromJsonFile: %s\n", e.what());
    } catch (...) {
        Log("LoadFromJsonFile: unknown error\n");
    }
    bool migrated = false;
    if (!fromFile) {
        Log("Failed to load settings from settings.json\nLoading from Registry...\n");
        *m_pimpl = SettingsManagerImpl();
        ReadLegacySettings(legacy, context, *m_pimpl);
        // A file that could not be read whole keeps the installation id it still shows.
        if (!salvagedAppId.empty()) m_pimpl->m_appId = salvagedAppId;
        migrated = true;
    }
    if (migrated || appIdGenerated) {
        bool saved;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            saved = Save(events);
            m_saveFailing = !saved;
        }
        if (!saved) {
            // The autosave thread retries; the old values stay where they are.
            m_dirty = true;
        } else if (migrated) {
            if (legacy.DeleteAll()) {
                Log("Registry settings cleaned up successfully\n");
            } else {
                Log("Failed to cleaned up registry settings\n");
            }
        }
    }
    Log("SettingsManagerImpl::Load(): end\n");
    return events;
}

bool SettingsManager::LoadFromJsonFile(const SettingsLoadContext& context,
                                       std::vector<SettingsEvent>& events, bool& appIdGenerated,
                                       std::wstring& salvagedAppId) {
    Log("Lookup settings in: %s\n", WideToUtf8(m_settingsPath).c_str());
    File file(m_settingsPath);
    if (!file.Exists()) {
        Log("settings.json not found\n");
        return false;
    }
    Log("settings.json found\n");
    std::wstring text;
    if (!file.ReadAllText(text)) {
        events.push_back({L"Settings", L"ReadJsonFileError", Widen(file.LastError())});
        Log("Failed to read settings.json\n");
        std::wstring lenient;
        if (ReadFileLenient(m_settingsPath, lenient)) salvagedAppId = FindAppIdInText(lenient);
        return false;
    }
    Log("Read settings.json\n");
    std::unique_ptr<JsonValue> root = Json::Parse(text);
    if (!root || root->type != JsonType::Object) {
        events.push_back({L"Settings", L"ParseJsonFileError", L""});
        Log("Failed to parse settings.json\n");
        salvagedAppId = FindAppIdInText(text);
        return false;
    }
    Log("Parsed settings.json\n");
    appIdGenerated = ReadSettingsJson(*root, context, *m_pimpl, events);
    return true;
}

void SettingsManager::RemoveStaleTemporaryFiles() {
    // A save that was killed between writing its temporary file and moving it leaves
    // "settings.json.XXXX" behind.
    size_t sep = m_settingsPath.find_last_of(L"\\/");
    if (sep == std::wstring::npos) return;
    std::wstring folder = m_settingsPath.substr(0, sep);
    std::wstring name = m_settingsPath.substr(sep + 1);
    if (!File(folder).Exists()) return;
    for (const std::wstring& entry : GetFilesInFolder(folder)) {
        if (entry.size() != name.size() + 5 || entry.compare(0, name.size() + 1, name + L".") != 0) {
            continue;
        }
        bool random = true;
        for (size_t i = name.size() + 1; i < entry.size(); ++i) random = random && IsAlnum(entry[i]);
        if (random) File(folder + m_settingsPath[sep] + entry).Delete();
    }
}

bool SettingsManager::Save(std::vector<SettingsEvent>& events) {
    Log("SettingsManagerImpl::Save(): start\n");
    // Failure events go out once per run of failures, not on every retry.
    const bool report = !m_saveFailing;
    std::wstring tmp;
    bool ok = false;
    try {
        std::wstring text = WriteSettingsJson(*m_pimpl, events);
        tmp = m_settingsPath + L"." + RandomString(4);
        File tmpFile(tmp);
        if (!tmpFile.WriteString(text)) {
            Log("SettingsManager::Save: Failed to save json file\n");
            if (report) events.push_back({L"Settings", L"WriteJsonFileError-2", Widen(tmpFile.LastError())});
            tmpFile.Delete();
        } else {
            std::string error;
            ReplaceFileResult result = ReplaceFileAtomically(tmp, m_settingsPath, error);
            if (result == ReplaceFileResult::Ok) {
                events.push_back({L"Settings", L"WriteJsonFileOk-2", L""});
                ok = true;
            } else {
                Log("SettingsManager::Save: %s\n", error.c_str());
                if (report) {
                    events.push_back({L"Settings",
                                      result == ReplaceFileResult::AccessDenied
                                          ? L"DeleteJsonFileError-2" : L"MoveJsonFileError-2",
                                      Widen(error)});
                }
                tmpFile.Delete();
            }
        }
    } catch (...) {
        if (report) events.push_back({L"Settings", L"SaveUnhandledException", L""});
        if (!tmp.empty()) {
            try { File(tmp).Delete(); } catch (...) {}
        }
        ok = false;
    }
    Log("SettingsManagerImpl::Save(): end\n");
    return ok;
}

void SettingsManager::AutosavePass() {
    if (!m_dirty.load()) return;
    std::vector<SettingsEvent> events;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_dirty.load()) return;
        bool ok = Save(events);
        m_saveFailing = !ok;
        // A failed save keeps the flag, so the next pass tries again.
        if (ok) m_dirty = false;
    }
    SendEvents(events);
}

bool SettingsManager::Flush() {
    AutosavePass();
    return !m_dirty.load();
}

void SettingsManager::StartAutosave(int intervalMs) {
    if (m_autosaveRunning.exchange(true)) return;
    m_autosaveThread = std::thread([this, intervalMs] { AutosaveLoop(intervalMs); });
}

void SettingsManager::StopAutosave() {
    {
        std::lock_guard<std::mutex> lock(m_autosaveWaitMutex);
        m_autosaveRunning = false;
    }
    m_autosaveWake.notify_all();
    if (m_autosaveThread.joinable()) m_autosaveThread.join();
}

void SettingsManager::AutosaveLoop(int intervalMs) {
    // It waits a whole interval at a time and a stop wakes it at once: a thread that
    // woke every few milliseconds only to look at its flag would cost the idle program
    // for the whole run.
    std::unique_lock<std::mutex> lock(m_autosaveWaitMutex);
    while (m_autosaveRunning) {
        m_autosaveWake.wait_for(lock, std::chrono::milliseconds(intervalMs), [this] { return !m_autosaveRunning; });
        if (!m_autosaveRunning) return;
        lock.unlock();
        try {
            AutosavePass();
        } catch (...) {
            Log("SettingsManager::AutosaveLoop: unhandled exception\n");
        }
        lock.lock();
    }
}

// Accessors.

std::wstring SettingsManager::GetScreenshotsSavePath() const { return Get(&SettingsManagerImpl::m_screenshotsSavePath); }
void SettingsManager::SetScreenshotsSavePath(const std::wstring& path) { Set("m_pimpl->m_screenshotsSavePath = path", &SettingsManagerImpl::m_screenshotsSavePath, path); }
std::wstring SettingsManager::GetScreenshotsLastSavePath() const { return Get(&SettingsManagerImpl::m_screenshotsLastSavePath); }
void SettingsManager::SetScreenshotsLastSavePath(const std::wstring& path) { Set("m_pimpl->m_screenshotsLastSavePath = path", &SettingsManagerImpl::m_screenshotsLastSavePath, path); }
std::wstring SettingsManager::GetVideoSavePath() const { return Get(&SettingsManagerImpl::m_videoSavePath); }
void SettingsManager::SetVideoSavePath(const std::wstring& path) { Set("m_pimpl->m_videoSavePath = path", &SettingsManagerImpl::m_videoSavePath, path); }
std::wstring SettingsManager::GetAppId() const { return Get(&SettingsManagerImpl::m_appId); }
std::wstring SettingsManager::GetAvailableVersion() const { return Get(&SettingsManagerImpl::m_availableVersion); }
void SettingsManager::SetAvailableVersion(const std::wstring& version) { Set("m_pimpl->m_availableVersion = version", &SettingsManagerImpl::m_availableVersion, version); }
int SettingsManager::GetStorageType() const { return Get(&SettingsManagerImpl::m_storageType); }
void SettingsManager::SetStorageType(int storageType) { Set("m_pimpl->m_storageType = storageType", &SettingsManagerImpl::m_storageType, storageType); }
unsigned SettingsManager::GetMaxUploadFileSize() const { return Get(&SettingsManagerImpl::m_maxUploadFileSize); }
void SettingsManager::SetMaxUploadFileSize(unsigned val) { Set("m_pimpl->m_maxUploadFileSize = val", &SettingsManagerImpl::m_maxUploadFileSize, val); }
HotkeySet SettingsManager::GetHotkeys() const { return Get(&SettingsManagerImpl::m_hotkeys); }
void SettingsManager::SetHotkeys(const HotkeySet& hk) { Set("m_pimpl->m_hotkeys = hk", &SettingsManagerImpl::m_hotkeys, hk); }
bool SettingsManager::GetNeedCaptureCursor() const { return Get(&SettingsManagerImpl::m_needCaptureCursor); }
void SettingsManager::SetNeedCaptureCursor(bool need) { Set("m_pimpl->m_needCaptureCursor = need", &SettingsManagerImpl::m_needCaptureCursor, need); }
bool SettingsManager::GetNeedShowNotifications() const { return Get(&SettingsManagerImpl::m_needShowNotifications); }
bool SettingsManager::GetNeedPlaySound() const { return Get(&SettingsManagerImpl::m_needPlaySound); }
void SettingsManager::SetNeedPlaySound(bool need) { Set("m_pimpl->m_needPlaySound = need", &SettingsManagerImpl::m_needPlaySound, need); }
bool SettingsManager::GetOpenScreenshotInBrowser() const { return Get(&SettingsManagerImpl::m_openScreenshotInBrowser); }
void SettingsManager::SetOpenScreenshotInBrowser(bool on) { Set("m_pimpl->m_openScreenshotInBrowser = on", &SettingsManagerImpl::m_openScreenshotInBrowser, on); }
bool SettingsManager::GetUseLRMouseForRegioScreenshot() const { return Get(&SettingsManagerImpl::m_useLRMouseForRegioScreenshot); }
void SettingsManager::SetUseLRMouseForRegioScreenshot(bool on) { Set("m_pimpl->m_useLRMouseForRegioScreenshot = on", &SettingsManagerImpl::m_useLRMouseForRegioScreenshot, on); }
bool SettingsManager::GetNeedToOpenVideoInBrowser() const { return Get(&SettingsManagerImpl::m_needToOpenVideoInBrowser); }
void SettingsManager::SetNeedToOpenVideoInBrowser(bool on) { Set("m_pimpl->m_needToOpenVideoInBrowser = on", &SettingsManagerImpl::m_needToOpenVideoInBrowser, on); }
bool SettingsManager::GetUseLRMouseForVideoRecording() const { return Get(&SettingsManagerImpl::m_useLRMouseForVideoRecording); }
void SettingsManager::SetUseLRMouseForVideoRecording(bool on) { Set("m_pimpl->m_useLRMouseForVideoRecording = on", &SettingsManagerImpl::m_useLRMouseForVideoRecording, on); }
std::vector<std::string> SettingsManager::GetScreenshotUids() const { return Get(&SettingsManagerImpl::m_screenshotUids); }
void SettingsManager::SetScreenshotUids(const std::vector<std::string>& uids) { Set("m_pimpl->m_screenshotUids.assign(uids.begin(), uids.end())", &SettingsManagerImpl::m_screenshotUids, uids); }
int SettingsManager::GetImageTypeId() const { return Get(&SettingsManagerImpl::m_imageTypeId); }
void SettingsManager::SetImageTypeId(int id) { Set("m_pimpl->m_imageTypeId = id", &SettingsManagerImpl::m_imageTypeId, id); }
int SettingsManager::GetJpegQuality() const { return Get(&SettingsManagerImpl::m_jpegQuality); }
void SettingsManager::SetJpegQuality(int val) { Set("m_pimpl->m_jpegQuality = val", &SettingsManagerImpl::m_jpegQuality, val); }
unsigned SettingsManager::GetDrawColor() const { return Get(&SettingsManagerImpl::m_drawColor); }
void SettingsManager::SetDrawColor(unsigned val) { Set("m_pimpl->m_drawColor = val", &SettingsManagerImpl::m_drawColor, val); }
bool SettingsManager::GetSelectAndDrawMode() const { return Get(&SettingsManagerImpl::m_selectAndDrawMode); }
void SettingsManager::SetSelectAndDrawMode(bool val) { Set("m_pimpl->m_selectAndDrawMode = val", &SettingsManagerImpl::m_selectAndDrawMode, val); }
bool SettingsManager::GetSilentMode() const { return Get(&SettingsManagerImpl::m_silentMode); }
void SettingsManager::SetSilentMode(bool val) { Set("m_pimpl->m_silentMode = val", &SettingsManagerImpl::m_silentMode, val); }
unsigned SettingsManager::GetLastTimeInSecsNewVersionWasShown() const { return Get(&SettingsManagerImpl::m_lastTimeInSecsNewVersionWasShown); }
void SettingsManager::SetLastTimeInSecsNewVersionWasShown(unsigned secs) { Set("m_pimpl->m_lastTimeInSecsNewVersionWasShown = secs", &SettingsManagerImpl::m_lastTimeInSecsNewVersionWasShown, secs); }
int SettingsManager::GetVideoSaveType() const { return Get(&SettingsManagerImpl::m_videoSaveType); }
void SettingsManager::SetVideoSaveType(int type) { Set("m_pimpl->m_videoSaveType = type", &SettingsManagerImpl::m_videoSaveType, type); }
bool SettingsManager::GetNeedCaptureAudio() const { return Get(&SettingsManagerImpl::m_needCaptureAudio); }
void SettingsManager::SetNeedCaptureAudio(bool val) { Set("m_pimpl->m_needCaptureAudio = val", &SettingsManagerImpl::m_needCaptureAudio, val); }
bool SettingsManager::GetNeedCaptureMic() const { return Get(&SettingsManagerImpl::m_needCaptureMic); }
void SettingsManager::SetNeedCaptureMic(bool val) { Set("m_pimpl->m_needCaptureMic = val", &SettingsManagerImpl::m_needCaptureMic, val); }
bool SettingsManager::GetShowVideoControlPanel() const { return Get(&SettingsManagerImpl::m_showVideoControlPanel); }
void SettingsManager::SetShowVideoControlPanel(bool val) { Set("m_pimpl->m_showVideoControlPanel = val", &SettingsManagerImpl::m_showVideoControlPanel, val); }
bool SettingsManager::GetUseScreenshotDirectFileLink() const { return Get(&SettingsManagerImpl::m_useScreenshotDirectFileLink); }
void SettingsManager::SetUseScreenshotDirectFileLink(bool v) { Set("m_pimpl->m_useScreenshotDirectFileLink = v", &SettingsManagerImpl::m_useScreenshotDirectFileLink, v); }
bool SettingsManager::GetUseVideoDirectFileLink() const { return Get(&SettingsManagerImpl::m_useVideoDirectFileLink); }
void SettingsManager::SetUseVideoDirectFileLink(bool v) { Set("m_pimpl->m_useVideoDirectFileLink = v", &SettingsManagerImpl::m_useVideoDirectFileLink, v); }
int SettingsManager::GetVideoQualityLevel() const {
    LogSet("return m_pimpl->m_videoQualityLevel");
    return Get(&SettingsManagerImpl::m_videoQualityLevel);
}
void SettingsManager::SetVideoQualityLevel(int q) { Set("m_pimpl->m_videoQualityLevel = q", &SettingsManagerImpl::m_videoQualityLevel, q); }

std::wstring SettingsManager::GetShortAppId() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::wstring& id = m_pimpl->m_appId;
    std::wstring shortId;
    for (size_t pos : {1, 6, 11, 16, 21, 26}) {
        if (pos < id.size()) shortId += id[pos];
    }
    return shortId;
}

std::wstring SettingsManager::GetHistoryPageUrl() const {
    return GetServerUrlValue() + L"/my?appId=" + GetAppId();
}

std::wstring SettingsManager::GetServerUrlValue() const {
    std::wstring v = Get(&SettingsManagerImpl::m_serverUrl);
    return v.empty() ? kDefaultServerUrl : v;
}

std::wstring SettingsManager::GetSiteUrlValue() const {
    std::wstring v = Get(&SettingsManagerImpl::m_siteUrl);
    return v.empty() ? kDefaultSiteUrl : v;
}

std::wstring SettingsManager::GetLinkHostValue() const {
    std::wstring v = Get(&SettingsManagerImpl::m_linkHost);
    return v.empty() ? kDefaultLinkHost : v;
}

std::wstring SettingsManager::GetAnalyticsUrlValue() const {
    // Our own service records the analytics posts at "/collect".
    std::wstring v = Get(&SettingsManagerImpl::m_analyticsUrl);
    return v.empty() ? GetServerUrlValue() : v;
}

std::wstring SettingsManager::GetSiteHost() {
    std::wstring url = GetSiteUrl();
    return url.size() > 7 ? url.substr(7) : std::wstring();
}
