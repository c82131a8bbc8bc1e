#pragma once
// Windows only: the main dialog's uploads.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

class CProgressDlg;
class CWnd;
class UploadHandler;

// Every upload of the program, one at a time: the short link made before anything is
// sent, the progress window run modally while the worker uploads, the sequence number
// that ties the worker's messages to the running upload, the refusal of a second one,
// the link opened at the end; also the hourly sync request and its answer. An upload
// runs exactly while Handler() is set. UI thread only.
class UploadCenter {
public:
    // What the uploads need of the main dialog.
    struct Host {
        CWnd* window = nullptr;   // the main dialog: messages' target, clipboard owner; not owned
        // A tray balloon (the dialog's ShowNotification).
        std::function<void(const std::wstring& title, const std::wstring& text, bool isError)> notify;
        // Hides the settings window and its banner while an upload runs.
        std::function<void()> hideSettings;
        std::function<void(const std::wstring& category, const std::wstring& action, const std::wstring& label)>
            postEvent;
        std::function<void(const std::wstring& url)> openUrl;
        std::wstring appTmpFolder;
    };
    // Hands the file to the uploading worker; false when it did not start.
    using Starter = std::function<bool(const std::wstring& serverName, const std::wstring& path, int type,
                                       const std::wstring& extension, const std::wstring& displayName,
                                       std::shared_ptr<UploadHandler> handler)>;

    explicit UploadCenter(Host host);
    ~UploadCenter();
    UploadCenter(const UploadCenter&) = delete;
    UploadCenter& operator=(const UploadCenter&) = delete;

    // The program's starter: the file goes to the web service.
    static bool SendToServer(const std::wstring& serverName, const std::wstring& path, int type,
                             const std::wstring& extension, const std::wstring& displayName,
                             std::shared_ptr<UploadHandler> handler);
    // Tests replace the starter to drive the handler themselves.
    void SetStarter(Starter starter) { m_starter = std::move(starter); }

    bool Running() const { return m_handler != nullptr; }
    // The running upload and its progress window (empty when none).
    std::shared_ptr<UploadHandler>& Handler() { return m_handler; }
    std::shared_ptr<CProgressDlg>& ProgressDlg() { return m_progressDlg; }

    // The link is made (and one identifier taken from the pool) before anything is sent.
    void MakeUploadLink(std::wstring& serverName, std::wstring& link, const std::wstring& letter);
    // The whole upload, modal: progress window (none in silent mode), link opened at
    // the end. True when the upload ended well while its window was up (not after
    // Cancel).
    bool UploadFile(const std::wstring& serverName, const std::wstring& link, int type, const std::wstring& extension,
                    const std::wstring& displayName, const std::wstring& path);
    // A saved screenshot's upload: the copy in the user's temporary folder, the link on
    // the clipboard, the upload. False when it did not start.
    bool StartScreenshotUpload(const std::wstring& savedPath);
    // A file the user chose (tray, command line, support logs): size check, link, upload.
    void UploadChosenFile(const std::wstring& path);
    // A recording made for upload: link, event, upload (the recording is deleted after
    // it when it lies in the program's tmp folder).
    void SaveRecordedVideo(bool recorded, const std::wstring& path);
    // A balloon and true when an upload runs (only one runs at a time).
    bool RefuseUploadWhileRunning();

    // The main dialog's upload messages (WM_APP_UPLOAD_FILE, _UPLOAD_PROGRESS,
    // _UPLOAD_FINISHED, _LINK_READY, _SERVER_SYNC_DATA); a heap object in lParam is
    // freed on every path. False when `msg` is none of them.
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    // The worker's messages; those of an upload that was left find no window.
    void OnProgress(int percent, unsigned sequence);
    void OnFinished(bool ok, unsigned sequence);
    // An upload error record: shown only when it belongs to the running upload; freed.
    bool ShowUploadError(LPARAM record);
    void OnLinkReady(int type, const std::wstring& link);
    void OpenLinkInBrowser(int type, const std::wstring& link);

    // The hourly sync request and its answer (a heap ServerSyncData, freed here).
    void RequestServerSync();
    void OnServerSyncData(LPARAM record);

private:
    Host m_host;
    Starter m_starter;
    std::shared_ptr<UploadHandler> m_handler;      // the running upload
    std::shared_ptr<CProgressDlg> m_progressDlg;   // its progress window
    unsigned m_sequence = 0;                       // numbers the uploads; their messages carry it
};
