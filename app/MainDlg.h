#pragma once
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/GameModeSwitch.h"
#include "app/MainDlgMessages.h"
#include "app/MonitorChangeWatch.h"
#include "app/Notification.h"
#include "app/RecordVideoSession.h"
#include "app/RegionSelection.h"
#include "app/SettingsPageEnvironment.h"
#include "app/SystemTray.h"
#include "classlib/Dialog.h"
#include "classlib/TabCtrl.h"
#include "core/FullScreenGameTracker.h"
#include "foundation/IEventListener.h"
#include "image/PxImage.h"

class CNewVersionBannerDlg;
class CNewVersionDlg;
class CProgressDlg;
class CTabCommonDlg;
class CVideoCaptureAreaDialog;
class CVideoCaptureControlDlg;
class UploadHandler;

// Decodes the "PNG" resource `id` of `module` (null: the executable) into `image`.
bool LoadPngResource(HMODULE module, unsigned id, PxImage& image);

struct SettingsPageEnvironment;

// The settings page `index` (0 General, 1 Save, 2 Editor, 3 Video), not yet created,
// with the environment that the main dialog gives the pages.
std::unique_ptr<CDialog> MakeSettingsPage(int index, const SettingsPageEnvironment& environment);

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
// ExitProcessWithSettingsSaved. UI thread only, except the atomics.
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

    HICON m_hIcon = nullptr;            // icon 128; shared resource icon, not destroyed
    HICON m_hRecordingIcon = nullptr;   // icon 237
    bool m_showWindow = true;           // the settings window may be shown
    CSystemTray m_trayIcon;
    NotificationQueue m_notification;
    CVideoCaptureAreaDialog* m_videoCaptureArea = nullptr;          // the recording's frame, owned
    CVideoCaptureControlDlg* m_videoCaptureControlDlg = nullptr;    // its control panel, owned
    // The current (or last) recording's control flags; a new recording gets a new block.
    std::shared_ptr<RecordingControl> m_recordControl;
    std::wstring m_videoPath;                                       // the current recording's file
    // The "Preparing video file" window; apart from m_progressDlg (an upload's window),
    // so that the recording's messages never end an upload's window.
    std::shared_ptr<CProgressDlg> m_videoProgressDlg;
    std::shared_ptr<UploadHandler> m_uploadHandler;           // the running upload
    std::shared_ptr<CProgressDlg> m_progressDlg;              // its progress window
    FullScreenGameTracker m_fullScreenTracker;
    MonitorChangeWatch m_monitorCount;
    // A region selection or a recording runs (read by the hotkey handlers).
    std::atomic<bool> m_captureBusy{false};
    // A recording is active: set when the recording thread starts, cleared when it has
    // finished with the recorder. Only this decides whether display changes stop or
    // cancel something (a region selection also sets m_captureBusy).
    std::atomic<bool> m_recordingActive{false};
    GameModeSwitch m_gameModeSwitch;    // the silent-mode switch's pictures
    PxImage m_helpIcon;                 // PNG 201, drawn over the help control
    CTabCtrl m_tabCtrl;
    // The four settings pages (General, Save, Editor, Video), children of this dialog;
    // null until their pages are built.
    CDialog* m_pages[4] = {};
    CTabCommonDlg* m_pageGeneral = nullptr;   // m_pages[0] as itself
    std::unique_ptr<CDialog> m_pageObjects[4];   // own m_pages; destroyed before the dialog
    HWND m_helpTooltip = nullptr;
    TOOLINFOW m_helpToolInfo = {};
    int m_helpTooltipShown = 0;
    std::wstring m_helpText;            // the tool record points at it

    // Sends a finished shot where the storage setting and the editor's action say (file,
    // clipboard picture, upload); reports its failures itself. True when delivered.
    bool ProcessScreenshot(bool fromEditor, PxImage& image, const std::wstring& name, int action);

    // The region editor in screenshot mode: false when cancelled or failed (`failed`
    // tells which); otherwise the annotated picture, the editor's action (-1 without
    // the editor) and, for action 2, `name` replaced by the chosen path.
    bool RunRegionSelection(const PxImage& screen, std::wstring& name, PxImage& result, int& action, bool& failed);
    // The region editor in video mode: false when cancelled or failed; otherwise the
    // selected rectangle in screen coordinates.
    bool RunVideoRegionSelection(const PxImage& screen, RECT& rect);
    // The version check (MainDlgVersion_win.cpp). Timer 4 starts the latest-version
    // request; its reply step runs on the request's thread and only stores the version.
    // Timer 5 compares it with ours and, when it is newer, shows the pop-up (at most
    // once a day) and the banner over the settings window.
    void RequestLatestVersion();
    static void OnLatestVersionReply(const std::string& reply);
    void CheckLatestVersion();
    void ShowNewVersionBanner();
    // Keeps the banner over the top of the settings window, shown only with it.
    void PlaceNewVersionBanner();
    void HideNewVersionBanner();
    void ShowNewVersionDialog();
    void OnNewVersionDialogClosed(bool ok, bool showAgain);

    // Uploads (MainDlgUpload_win.cpp). The link is made (and one identifier taken from
    // the pool) before anything is sent.
    void MakeUploadLink(std::wstring& serverName, std::wstring& link, const std::wstring& letter);
    // The whole upload, modal: progress window (none in silent mode), link opened at
    // the end. True when the upload ended well while its window was up (not after
    // Cancel).
    bool UploadFile(const std::wstring& serverName, const std::wstring& link, int type, const std::wstring& extension,
                    const std::wstring& displayName, const std::wstring& path);
    // Hands the file to the uploading worker; false when it did not start. Tests replace
    // it to drive the handler themselves.
    virtual bool StartUpload(const std::wstring& serverName, const std::wstring& path, int type,
                             const std::wstring& extension, const std::wstring& displayName,
                             std::shared_ptr<UploadHandler> handler);
    // A recording made for upload: link, event, upload (the recording is deleted after
    // it when it lies in the program's tmp folder).
    void SaveRecordedVideo(bool recorded, const std::wstring& path);
    void OpenLinkInBrowser(int type, const std::wstring& link);

    // The control `id` of the General, Save, Editor or Video page, first hit in that
    // order, else the dialog's own; null when none has it.
    HWND FindDlgItem(int id) const;

    // Whether the tray icon was created, so that the timers and the rest of the start ran.
    bool IsStarted() const { return m_started; }

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
    // Turns the first instance's command line into one posted message (or a quiet
    // start); any option keeps the settings window hidden. True for a quiet start.
    bool RunFirstInstanceCommandLine();
    void HideSettingsWindow();
    void SetDialogFont();
    void CreateTrackingTooltip();

    void OnNotificationTimer();
    void OnCloseRequestTimer();
    void OnMonitorCountTimer();
    void OnTooltipHoverTimer();
    LRESULT OnDisplayChange(WPARAM bitsPerPixel, LPARAM size);
    LRESULT OnDeviceChange(WPARAM event);
    LRESULT OnShowSettings();
    LRESULT OnHideSettings();
    LRESULT OnQuit();
    LRESULT OnShowError(WPARAM stringId, LPARAM record);
    LRESULT OnShowInfo(WPARAM stringId);
    // The screenshot flow (MainDlgScreenshot_win.cpp).
    LRESULT OnFullScreenshot();
    LRESULT OnActiveWindowScreenshot();
    // The region screenshot (MainDlgRegion_win.cpp).
    LRESULT OnRegionScreenshot();
    LRESULT OnTrayNotify(LPARAM mouseMessage);
    // Uploads (MainDlgUpload_win.cpp).
    void RequestServerSync();
    // A saved screenshot's upload: the copy in the user's temporary folder, the link on
    // the clipboard, the upload. False when it did not start.
    bool StartScreenshotUpload(const std::wstring& savedPath);
    // A balloon and true when an upload runs (only one runs at a time).
    bool RefuseUploadWhileRunning();
    LRESULT OnUploadFile(LPARAM heapPath);
    LRESULT OnUploadProgress(WPARAM percent, LPARAM sequence);
    LRESULT OnUploadFinished(WPARAM ok, LPARAM sequence);
    LRESULT OnLinkReady(WPARAM type, LPARAM heapLink);
    LRESULT OnServerSyncData(LPARAM record);
    // An upload error record: shown only when it belongs to the running upload; freed.
    bool ShowUploadError(LPARAM record);
    // Video recording (MainDlgVideo_win.cpp).
    LRESULT OnMakeVideo(WPARAM wParam, LPARAM lParam);
    LRESULT OnVideoCancel();
    LRESULT OnVideoPause(WPARAM pause);
    LRESULT OnVideoStop();
    LRESULT OnVideoUndo();
    LRESULT OnCloseVideoCaptureWindows();
    LRESULT OnShowProgress(WPARAM stringId);
    LRESULT OnHideProgress();
    LRESULT OnVideoRecorded(WPARAM wParam, LPARAM local);
    LRESULT OnVideoFailed(WPARAM stringId);
    LRESULT OnVideoRecordingBreakedByFullscreenApp(WPARAM wParam);
    // The tray shows `icon` (when the tray is enabled and shown).
    void SetTrayIcon(HICON icon);
    // Whether a recording's flags may still be changed: started, not cancelled, not done.
    bool HasLiveRecording() const;
    // Counts the recording threads; m_recordingActive is set while any runs.
    void RecordingThreadStarted();
    void RecordingThreadEnded();
    // WM_WINDOWPOSCHANGING: the window stays hidden while m_showWindow is false.
    void OnWindowPosChanging(WINDOWPOS* pos);

    void OnTrayCaptureRegion();
    void OnTrayCaptureFullscreen();
    void OnTrayCaptureVideo();
    void OnTraySendFile();
    void OnTrayMyCaptures();
    void OnTraySilentMode();
    void OnTraySettings();
    void OnTrayExit();

    // The settings window (MainDlgSettings_win.cpp).
    void CreatePages();
    // Fills the pages' controls from the settings: the hotkey texts and the check boxes;
    // at initialisation also the two folder edits and the Save page's local-file box.
    void FillPageControls(bool initial);
    // Loads every page and the dialog itself from their variables (UpdateData(FALSE)).
    void LoadPages();
    void SavePages();
    void UpdateGameModeControls();
    void OnPaint();
    void DrawHelpIcon(const DRAWITEMSTRUCT* item);
    LRESULT OnCustomDrawCheck(NMCUSTOMDRAW* draw);
    void OnLButtonUp(POINT point);
    void OnGameModeHelp();
    void OnClose();
    // The tray's Settings: the Save page shows the stored image type and quality again.
    void ReloadImageType();
    // The environment of the pages: the main dialog's events and message boxes, the
    // hotkey capture and the recording state.
    SettingsPageEnvironment MakePageEnvironment();
    bool m_capturingHotkey = false;   // the capture dialog's loop runs inside a page's

public:
    // Rebuilds the four tabs and shows page `index`.
    void BuildTabs(int index);
    // Shows page `index` (0-3), hides the others and selects its tab.
    void ShowTab(int index);

private:

    // Opens the download page: the site address, "/" and string `stringId`.
    void OpenDownloadPage(unsigned stringId);

    MainDlgEnvironment m_env;
    std::unique_ptr<CNewVersionBannerDlg> m_newVersionBanner;   // created once, at the first newer version
    std::unique_ptr<CNewVersionDlg> m_newVersionDlg;            // created once, then shown and hidden
    HFONT m_font = nullptr;
    bool m_started = false;
    unsigned m_uploadSequence = 0;   // numbers the uploads; their messages carry it
    std::mutex m_recordingThreadsLock;
    int m_recordingThreads = 0;   // recording threads still running, under the lock above
};
