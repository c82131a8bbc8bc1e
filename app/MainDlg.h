#pragma once
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainDlgMessages.h"
#include "app/MonitorChangeWatch.h"
#include "app/Notification.h"
#include "app/RecordVideoSession.h"
#include "app/RecordingController.h"
#include "app/RegionSelection.h"
#include "app/ScreenshotRequests.h"
#include "app/SettingsPages.h"
#include "app/SettingsWindow.h"
#include "app/SystemTray.h"
#include "app/TrayCommands.h"
#include "app/UploadCenter.h"
#include "app/VersionNotice.h"
#include "classlib/Dialog.h"
#include "core/FullScreenGameTracker.h"
#include "foundation/IEventListener.h"
#include "foundation/WinHandles.h"
#include "image/PxImage.h"

// Decodes the "PNG" resource `id` of `module` (null: the executable) into `image`.
bool LoadPngResource(HMODULE module, unsigned id, PxImage& image);

// What the main dialog asks of the rest of the process. The program uses Default();
// tests replace single entries to watch or steer the dialog.
struct MainDlgEnvironment {
    // An analytics event without value.
    std::function<void(const std::wstring& category, const std::wstring& action, const std::wstring& label)>
        postEvent;
    // Ends the process (settings saved first); does not return in the program.
    std::function<void(unsigned code)> exitProcess;
    // Number of monitors, -1 when they cannot be counted.
    std::function<int()> countMonitors;
    // The monitor set that the display-change watcher compares.
    FullScreenGameTracker::MonitorSource monitors;
    std::function<void()> reinitCore;
    std::function<void()> reopenLog;
    std::function<bool(const std::wstring& path)> fileExists;
    // Opens a page in the browser.
    std::function<void(const std::wstring& url)> openUrl;
    // Asks for a file to send; "" after Cancel.
    std::function<std::wstring(HWND owner)> chooseFile;
    // The first instance's own command line, program path included.
    std::wstring commandLine;
    // Folders: the user's temporary folder (ending with a separator), the local data
    // folder, the program's temporary folder and the log folder.
    std::wstring userTempFolder, localFolder, appTmpFolder, logFolder;
    // Starts the cleanup threads; null: not started.
    std::function<void(const std::wstring& folder)> startEmptyTmpFolder;
    std::function<void(const std::wstring& folder)> startDeleteOldLogs;
    // Runs the region editor modally over the frozen screen (RunSelectRegionDialog).
    std::function<RegionEditorOutcome(const RegionEditorRequest& request)> runRegionEditor;
    // A message box of the settings window.
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)> messageBox;
    // Makes the settings page `index` (0 General, 1 Save, 2 Editor, 3 Video), not yet
    // created; null: that page is left out.
    std::function<std::unique_ptr<CDialog>(int index, const SettingsPageEnvironment& environment)> makePage;
    // Runs the hotkey capture dialog (null: CHotkeysReaderDlg).
    std::function<INT_PTR(std::vector<int>& keys)> runHotkeyDialog;
    // The screen recorder of one recording (the capture core's; tests hand in a fake).
    std::function<std::unique_ptr<IVideoRecorder>()> makeVideoRecorder;

    static MainDlgEnvironment Default();
};

// The program's one top-level window, run modally for the whole run: the hidden hub
// that receives the private messages, timers and tray notifications, and the settings
// window. It never ends its modal loop; the process ends through
// ExitProcessWithSettingsSaved. Each concern's state lives in an object of its own
// that the dialog owns (screenshots, uploads, recordings, the version notice, the
// settings window, the tray); the handlers here route to them. UI thread only, except
// the atomics.
class CtavimorerfDlg : public CDialogEx, public IEventListener {
public:
    explicit CtavimorerfDlg(CWnd* parent = nullptr);
    // A dialog from a template in memory (null: template 102) with its own environment;
    // tests use it to watch and steer the dialog.
    CtavimorerfDlg(const DLGTEMPLATE* tmpl, MainDlgEnvironment environment, CWnd* parent = nullptr);
    ~CtavimorerfDlg() override;

    void OnEvent(const std::string& name) override {}

    // Queues a tray balloon shown one second later; a burst shows its last one only.
    // Nothing in silent mode.
    void ShowNotification(const std::wstring& title, const std::wstring& text, bool isError);

    // Shows page `index` (0-3), hides the others and selects its tab.
    void ShowTab(int index);
    // The control `id` of the General, Save, Editor or Video page, first hit in that
    // order, else the dialog's own; null when none has it.
    HWND FindDlgItem(int id) const;

    // Whether the tray icon was created, so that the timers and the rest of the start ran.
    bool IsStarted() const { return m_started; }

    // The concerns, for tests that watch or steer them.
    UploadCenter& Uploads() { return m_uploads; }
    RecordingController& Recording() { return m_recording; }
    ScreenshotRequests& Shots() { return m_shots; }
    SettingsWindow& Settings() { return m_settings; }
    CSystemTray& TrayIcon() { return m_trayIcon; }
    HICON Icon() const { return m_hIcon; }
    HICON RecordingIcon() const { return m_hRecordingIcon; }
    // The settings window may be shown.
    bool& ShowWindowAllowed() { return m_showWindow; }
    // A region selection or a recording runs (read by the hotkey handlers).
    std::atomic<bool>& CaptureBusy() { return m_captureBusy; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnTimer(UINT_PTR id) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;

private:
    // What each concern needs of the dialog.
    UploadCenter::Host MakeUploadHost();
    ScreenshotRequests::Host MakeScreenshotHost();
    RecordingController::Services MakeRecordingServices();
    SettingsWindow::Services MakeSettingsServices();
    TrayCommands::Host MakeTrayHost();

    // Turns the first instance's command line into one posted message (or a quiet
    // start); any option keeps the settings window hidden. True for a quiet start.
    bool RunFirstInstanceCommandLine();
    void HideSettingsWindow();
    void SetDialogFont();

    void OnNotificationTimer();
    void OnCloseRequestTimer();
    void OnMonitorCountTimer();
    LRESULT OnDisplayChange(WPARAM bitsPerPixel, LPARAM size);
    LRESULT OnDeviceChange(WPARAM event);
    LRESULT OnShowSettings();
    LRESULT OnHideSettings();
    LRESULT OnQuit();
    LRESULT OnShowError(WPARAM stringId, LPARAM record);
    LRESULT OnShowInfo(WPARAM stringId);
    // WM_WINDOWPOSCHANGING: the window stays hidden while m_showWindow is false.
    void OnWindowPosChanging(WINDOWPOS* pos);

    // WM_CLOSE of the settings window (MainDlgSettings_win.cpp).
    void OnClose();

    // Declared first: the members below are built from it.
    MainDlgEnvironment m_env;
    HICON m_hIcon = nullptr;            // icon 128; shared resource icon, not destroyed
    HICON m_hRecordingIcon = nullptr;   // icon 237
    bool m_showWindow = true;           // the settings window may be shown
    CSystemTray m_trayIcon;
    NotificationQueue m_notification;
    FullScreenGameTracker m_fullScreenTracker;
    MonitorChangeWatch m_monitorCount;
    // A region selection or a recording runs (read by the hotkey handlers).
    std::atomic<bool> m_captureBusy{false};
    UniqueFont m_font;   // the dialog's font, set on it and its children
    bool m_started = false;
    UploadCenter m_uploads;
    ScreenshotRequests m_shots;
    RecordingController m_recording;
    VersionNotice m_version;       // the version banner and pop-up
    SettingsWindow m_settings;     // the tabs, pages, silent-mode switch and help tooltip
    TrayCommands m_tray;           // the tray icon's clicks and menu
};
