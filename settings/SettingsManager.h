#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "settings/HotkeySet.h"
#include "settings/SettingsJson.h"
#include "settings/SettingsManagerImpl.h"

class ILegacySettingsStore;

// The settings model: one process-wide record of every user option, served through
// typed accessors under one plain mutex and written to settings.json by an autosave
// thread within about two seconds of a change.
//
// Lock order: callers that hold their own lock (the hotkey table, the identifier pool)
// may call accessors inside it; nothing here takes another lock while the settings
// mutex is held, except the logger's leaf lock (events are sent after it is released).
class SettingsManager {
public:
    // Sends one settings event. The program sends them to analytics; without a sink
    // they are dropped.
    using EventSink = std::function<void(const SettingsEvent& event)>;
    // Told the analytics collector's address that the loaded settings name.
    using CollectorUrlSink = std::function<void(const std::wstring& baseUrl)>;

    // A record with every default and no file. The process uses Instance(); tests make
    // their own.
    SettingsManager();
    // Stops and joins the autosave thread first.
    ~SettingsManager();
    SettingsManager(const SettingsManager&) = delete;
    SettingsManager& operator=(const SettingsManager&) = delete;

    // The process-wide settings. Never destroyed, so the detached autosave thread can
    // never outlive its record.
    static SettingsManager& Instance();

    // Start-up (after the program folders are known): loads settings.json at
    // `settingsPath` (or migrates the old registry values), gives the collector sink
    // the configured collector (before the load's own events go out) and starts the
    // autosave thread.
    void Init(const std::wstring& settingsPath);

    // The load on its own: file, else migration. Saves at once when it migrated or made
    // a new installation id (so neither is lost when nothing changes before exit), and
    // deletes the old registry values only after that save succeeded. No other thread
    // may use this object yet.
    void Load(const std::wstring& settingsPath, const SettingsLoadContext& context,
              ILegacySettingsStore& legacy);

    // Writes the record now if a change is pending; for the exit paths (ExitProcess runs
    // no destructors). True when nothing was pending or the save worked.
    bool Flush();

    // One autosave pass: save when dirty. A failed save leaves the flag set, so the next
    // pass retries; the failure event is sent once per run of failures.
    void AutosavePass();

    // Starts the autosave thread (every `intervalMs`, 2000 by default) / stops and joins it.
    void StartAutosave(int intervalMs = 2000);
    void StopAutosave();

    void SetEventSink(EventSink sink);
    void SetCollectorUrlSink(CollectorUrlSink sink);
    bool IsDirty() const { return m_dirty.load(); }
    const std::wstring& SettingsPath() const { return m_settingsPath; }

    // Accessors. Every setter logs its assignment, stores the value as given and marks
    // the record dirty (also when the value did not change).
    std::wstring GetScreenshotsSavePath() const;
    void SetScreenshotsSavePath(const std::wstring& path);
    std::wstring GetScreenshotsLastSavePath() const;
    void SetScreenshotsLastSavePath(const std::wstring& path);
    std::wstring GetVideoSavePath() const;
    void SetVideoSavePath(const std::wstring& path);
    std::wstring GetAppId() const;
    std::wstring GetAvailableVersion() const;
    void SetAvailableVersion(const std::wstring& version);
    int GetStorageType() const;
    void SetStorageType(int storageType);
    unsigned GetMaxUploadFileSize() const;
    void SetMaxUploadFileSize(unsigned val);
    HotkeySet GetHotkeys() const;
    void SetHotkeys(const HotkeySet& hk);
    bool GetNeedCaptureCursor() const;
    void SetNeedCaptureCursor(bool need);
    bool GetNeedShowNotifications() const;
    bool GetNeedPlaySound() const;
    void SetNeedPlaySound(bool need);
    bool GetOpenScreenshotInBrowser() const;
    void SetOpenScreenshotInBrowser(bool on);
    bool GetUseLRMouseForRegioScreenshot() const;
    void SetUseLRMouseForRegioScreenshot(bool on);
    bool GetNeedToOpenVideoInBrowser() const;
    void SetNeedToOpenVideoInBrowser(bool on);
    bool GetUseLRMouseForVideoRecording() const;
    void SetUseLRMouseForVideoRecording(bool on);
    std::vector<std::string> GetScreenshotUids() const;
    void SetScreenshotUids(const std::vector<std::string>& uids);
    int GetImageTypeId() const;
    void SetImageTypeId(int id);
    int GetJpegQuality() const;
    void SetJpegQuality(int val);
    unsigned GetDrawColor() const;
    void SetDrawColor(unsigned val);
    bool GetSelectAndDrawMode() const;
    void SetSelectAndDrawMode(bool val);
    bool GetSilentMode() const;
    void SetSilentMode(bool val);
    unsigned GetLastTimeInSecsNewVersionWasShown() const;
    void SetLastTimeInSecsNewVersionWasShown(unsigned secs);
    int GetVideoSaveType() const;
    void SetVideoSaveType(int type);
    bool GetNeedCaptureAudio() const;
    void SetNeedCaptureAudio(bool val);
    bool GetNeedCaptureMic() const;
    void SetNeedCaptureMic(bool val);
    bool GetShowVideoControlPanel() const;
    void SetShowVideoControlPanel(bool val);
    bool GetUseScreenshotDirectFileLink() const;
    void SetUseScreenshotDirectFileLink(bool v);
    bool GetUseVideoDirectFileLink() const;
    void SetUseVideoDirectFileLink(bool v);
    int GetVideoQualityLevel() const;
    void SetVideoQualityLevel(int q);

    // The characters of the installation id at positions 1, 6, 11, 16, 21 and 26 (the
    // opening brace is 0); positions past the end of a short id are left out.
    std::wstring GetShortAppId() const;
    // "<service>/my?appId=<id>".
    std::wstring GetHistoryPageUrl() const;

    // Addresses of our own web service. Each has a built-in default for our deployment
    // and can be overridden in settings.json ("server_url", "site_url", "link_host",
    // "analytics_url"), so that tests point the program at 127.0.0.1.
    std::wstring GetServerUrlValue() const;     // HTTPS base address of the service
    std::wstring GetSiteUrlValue() const;       // plain-HTTP base address, "http://" + host
    std::wstring GetLinkHostValue() const;      // base of short links
    std::wstring GetAnalyticsUrlValue() const;  // base of the analytics collector

    // The same for the process-wide settings.
    static std::wstring GetServerUrl() { return Instance().GetServerUrlValue(); }
    static std::wstring GetSiteUrl() { return Instance().GetSiteUrlValue(); }
    // The site address without its 7-character scheme prefix.
    static std::wstring GetSiteHost();
    static std::wstring GetLinkHost() { return Instance().GetLinkHostValue(); }
    static std::wstring GetBrandName() { return L"Brivane"; }
    static std::wstring GetProductName();
    // ProductVersion of the running executable's version resource.
    static std::wstring GetProductVersion();
    // Deletes the old registry settings; false only when the deletion failed.
    static bool DeleteRegistrySettings();

    static constexpr const wchar_t* kDefaultServerUrl = L"https://brivane.app";
    static constexpr const wchar_t* kDefaultSiteUrl = L"http://brivane.app";
    static constexpr const wchar_t* kDefaultLinkHost = L"https://brivane.app";

private:
    std::vector<SettingsEvent> LoadAndCollectEvents(const std::wstring& settingsPath,
                                                    const SettingsLoadContext& context,
                                                    ILegacySettingsStore& legacy);
    bool LoadFromJsonFile(const SettingsLoadContext& context, std::vector<SettingsEvent>& events,
                          bool& appIdGenerated, std::wstring& salvagedAppId);
    // Under m_mutex. Writes settings.json through a temporary file that replaces it in
    // one step; collects its events.
    bool Save(std::vector<SettingsEvent>& events);
    void SendEvents(const std::vector<SettingsEvent>& events);
    void AutosaveLoop(int intervalMs);
    void RemoveStaleTemporaryFiles();

    template <typename T>
    T Get(T SettingsManagerImpl::*member) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_pimpl.get()->*member;
    }
    template <typename T, typename V>
    void Set(const char* assignment, T SettingsManagerImpl::*member, const V& value) {
        LogSet(assignment);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pimpl.get()->*member = value;
        m_dirty.exchange(true);
    }
    static void LogSet(const char* assignment);

    std::unique_ptr<SettingsManagerImpl> m_pimpl;
    mutable std::mutex m_mutex;
    std::atomic<bool> m_dirty{false};
    std::wstring m_settingsPath;   // set by Load, then read-only
    bool m_saveFailing = false;    // under m_mutex: the last save failed

    std::mutex m_sinkMutex;
    EventSink m_sink;
    CollectorUrlSink m_collectorSink;

    std::atomic<bool> m_autosaveRunning{false};
    std::thread m_autosaveThread;
    // The autosave thread waits a whole interval on it; StopAutosave wakes it.
    std::mutex m_autosaveWaitMutex;
    std::condition_variable m_autosaveWake;
};
