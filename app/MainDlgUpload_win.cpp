// The main dialog's side of every upload: the short link made before anything is sent,
// the progress window run modally while the worker uploads, the link opened at the
// end; also the sync request's answer.
#include <fstream>
#include <memory>

#include "app/FlowHolds.h"
#include "app/MainDlg.h"
#include "app/ProgressDlg.h"
#include "app/ScreenshotCapture.h"
#include "app/UploadHandler.h"
#include "app/UploadLinks.h"
#include "foundation/Clipboard.h"
#include "foundation/File.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/Path.h"
#include "foundation/StringTable.h"
#include "foundation/Utf.h"
#include "server/ScreenshotUidManager.h"
#include "server/ServerAPI.h"
#include "settings/SettingsManager.h"

namespace {

// Strings of the upload road.
constexpr unsigned kTextUploadError = 133;
constexpr unsigned kTextError = 139;
constexpr unsigned kTextLinkInClipboard = 176;
constexpr unsigned kTextFileTooBig = 179;
constexpr unsigned kTextUploadRefused = 401;

// The window closes this long after the upload ended, so that the full bar is seen.
constexpr UINT kProgressCloseDelayMs = 1000;

// The answer of the hourly sync request, handed to the main dialog.
class SyncDataReceiver : public IServerSyncDataReceiver {
public:
    explicit SyncDataReceiver(HWND target) : m_target(target) {}
    void OnSyncData(ServerSyncData* data) override {
        if (!PostMessageW(m_target, WM_APP_SERVER_SYNC_DATA, 0, reinterpret_cast<LPARAM>(data))) delete data;
    }

private:
    HWND m_target;
};

}  // namespace

void CtavimorerfDlg::RequestServerSync() { ServerAPI::RequestSync(new SyncDataReceiver(m_hWnd)); }

void CtavimorerfDlg::MakeUploadLink(std::wstring& serverName, std::wstring& link, const std::wstring& letter) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    std::string id = ScreenshotUidManager::Instance().GetUid();
    std::wstring uid(id.begin(), id.end());
    serverName = MakeServerName(now.wDay, now.wMonth, now.wYear, uid);
    link = MakeShortLink(SettingsManager::GetLinkHost(), letter, now.wDay, now.wMonth, now.wYear, uid);
}

bool CtavimorerfDlg::StartScreenshotUpload(const std::wstring& savedPath) {
    // The uploaded file is a copy under a random name in the user's temporary folder.
    std::wstring ext = GetFileExtension(savedPath);
    std::wstring copy = MakeTempFilePath() + (ext.empty() ? L"" : L"." + ext);
    if (!File(savedPath).Copy(copy)) {
        Log("StartScreenshotUpload: the copy for the upload failed\n");
        m_env.postEvent(L"Screenshot", L"Failed", L"");
        Post(WM_APP_ERROR, 137, 0);
        return false;
    }
    std::wstring serverName, link;
    MakeUploadLink(serverName, link, L"s");
    if (SettingsManager::Instance().GetUseScreenshotDirectFileLink()) link += GetScreenshotExtension();
    SetClipboardText(m_hWnd, link);
    Log("Screenshot link in clipboard\n");
    // Only an upload that ended well counts as a delivered shot ("Finished").
    return UploadFile(serverName, link, kLinkScreenshot, GetScreenshotExtension(),
                      MakeDefaultScreenshotName(), copy);
}

bool CtavimorerfDlg::RefuseUploadWhileRunning() {
    if (!m_uploadHandler) return false;
    Log("CtavimorerfDlg: an upload is running, another is refused\n");
    ShowNotification(Text(kTextError), Text(kTextUploadRefused), true);
    return true;
}

bool CtavimorerfDlg::UploadFile(const std::wstring& serverName, const std::wstring& link, int type,
                                const std::wstring& extension, const std::wstring& displayName,
                                const std::wstring& path) {
    // One upload at a time: a second one (handed over while the first one's window runs
    // its loop) would replace the window and handler under the running loop.
    if (RefuseUploadWhileRunning()) return false;
    bool video = extension == L".mp4";

    SIZE size = GetDialogTemplateSize(IDD_PROGRESS);
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    POINT position = {work.right - size.cx - 4, work.bottom - size.cy};
    // Held here for the whole modal run, whatever the messages inside it do.
    auto dialog = std::make_shared<CProgressDlg>(position, Text(kTextLinkInClipboard), nullptr, false, true);
    unsigned sequence = ++m_uploadSequence;
    std::shared_ptr<UploadHandler> handler;
    if (video) {
        handler = std::make_shared<VideoUploadHandler>(m_hWnd, sequence, path, m_env.appTmpFolder);
    } else {
        handler = std::make_shared<UploadHandler>(m_hWnd, sequence);
    }
    m_progressDlg = dialog;
    m_uploadHandler = handler;
    handler->OnProgress(5);
    dialog->SetPosition(5);   // shown at 5 from its first frame, not only once the message came

    const bool started = StartUpload(serverName, path, type, extension, displayName, handler);
    // A started upload holds child starts itself until its curl.exe runs.
    FlowHolds::UploadRequest().End();
    if (!started) {
        Log("CtavimorerfDlg::UploadFile: the upload did not start\n");
        m_progressDlg.reset();
        m_uploadHandler.reset();
        return false;
    }
    m_showWindow = false;
    HideSettingsWindow();
    HideNewVersionBanner();
    bool silent = SettingsManager::Instance().GetSilentMode();
    // Silent mode shows no window, but its loop still runs: the UI thread keeps handling
    // its messages (the close request among them) until the upload has ended.
    dialog->SetHidden(silent);
    INT_PTR result = dialog->DoModal();
    if (result == IDOK && !silent) {
        auto* heapLink = new std::wstring(link);
        if (!Post(WM_APP_LINK_READY, static_cast<WPARAM>(type), reinterpret_cast<LPARAM>(heapLink))) delete heapLink;
    }
    if (m_progressDlg == dialog) m_progressDlg.reset();
    if (m_uploadHandler == handler) m_uploadHandler.reset();
    return result == IDOK;
}

bool CtavimorerfDlg::StartUpload(const std::wstring& serverName, const std::wstring& path, int type,
                                 const std::wstring& extension, const std::wstring& displayName,
                                 std::shared_ptr<UploadHandler> handler) {
    return ServerAPI::UploadScreenshotAsync(path, serverName, type, handler, handler, extension, displayName);
}

LRESULT CtavimorerfDlg::OnUploadFile(LPARAM heapPath) {
    // The request's hold ends on every way out (a started upload ends it earlier).
    QuietPeriod::SlotEnd requestEnd(FlowHolds::UploadRequest());
    std::unique_ptr<std::wstring> owned(reinterpret_cast<std::wstring*>(heapPath));
    if (!owned || owned->empty()) return 0;
    const std::wstring path = *owned;
    if (RefuseUploadWhileRunning()) return 0;
    std::wstring displayName, extension;
    SplitUploadName(path, displayName, extension);
    uint64_t size = 0;
    {
        WIN32_FILE_ATTRIBUTE_DATA data;
        HANDLE probe = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe == INVALID_HANDLE_VALUE) {
            Log("CtavimorerfDlg::OnUploadFile: the file cannot be opened\n");
            return 0;
        }
        LARGE_INTEGER length = {};
        bool known = GetFileSizeEx(probe, &length) != 0;
        CloseHandle(probe);
        if (!known || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
        size = static_cast<uint64_t>(length.QuadPart);
    }
    if (!FitsUploadLimit(size, SettingsManager::Instance().GetMaxUploadFileSize())) {
        ShowNotification(Text(kTextError), Text(kTextFileTooBig), true);
        return 0;
    }
    std::wstring serverName, link;
    MakeUploadLink(serverName, link, L"f");
    SetClipboardText(m_hWnd, link);
    UploadFile(serverName, link, kLinkFile, extension, displayName, path);
    return 0;
}

void CtavimorerfDlg::SaveRecordedVideo(bool recorded, const std::wstring& path) {
    std::wstring displayName = MakeVideoFileName();
    std::wstring serverName, link;
    MakeUploadLink(serverName, link, L"v");
    if (SettingsManager::Instance().GetUseVideoDirectFileLink()) link += L".mp4";
    SetClipboardText(m_hWnd, link);
    if (recorded) {
        std::wstring tail = link.substr(link.find_last_of(L'/') + 1);
        m_env.postEvent(L"User", L"Upload",
                        Format(L"U[{}], I[{}]").Arg(SettingsManager::Instance().GetShortAppId()).Arg(tail).Str());
    }
    UploadFile(serverName, link, kLinkVideo, L".mp4", displayName, path);
}

LRESULT CtavimorerfDlg::OnUploadProgress(WPARAM percent, LPARAM sequence) {
    if (m_progressDlg && m_uploadHandler && m_uploadHandler->Sequence() == static_cast<unsigned>(sequence)) {
        // The bar only moves forward: curl's meter starts every attempt at 0 again, after
        // the bar has already shown 5 or a failed attempt's share.
        if (static_cast<int>(percent) > m_progressDlg->Position()) {
            m_progressDlg->SetPosition(static_cast<int>(percent));
        }
    }
    return 0;
}

LRESULT CtavimorerfDlg::OnUploadFinished(WPARAM ok, LPARAM sequence) {
    if (m_progressDlg && m_uploadHandler && m_uploadHandler->Sequence() == static_cast<unsigned>(sequence)) {
        Log("CtavimorerfDlg::OnUploadFinished: %s\n", ok ? "ok" : "failed");
        if (ok) m_progressDlg->SetPosition(100);
        bool silent = SettingsManager::Instance().GetSilentMode();
        m_progressDlg->FinishAfter(ok ? IDOK : IDCANCEL, silent ? 0 : kProgressCloseDelayMs);
    }
    return 0;
}

LRESULT CtavimorerfDlg::OnLinkReady(WPARAM type, LPARAM heapLink) {
    std::unique_ptr<std::wstring> link(reinterpret_cast<std::wstring*>(heapLink));
    if (!link) return 0;
    SettingsManager& settings = SettingsManager::Instance();
    std::wstring opened = LinkToOpen(static_cast<int>(type), *link, settings.GetUseScreenshotDirectFileLink(),
                                     settings.GetUseVideoDirectFileLink());
    OpenLinkInBrowser(static_cast<int>(type), opened);
    return 0;
}

void CtavimorerfDlg::OpenLinkInBrowser(int type, const std::wstring& link) {
    SettingsManager& settings = SettingsManager::Instance();
    if (!MayOpenLink(type, settings.GetOpenScreenshotInBrowser(), settings.GetNeedToOpenVideoInBrowser())) return;
    m_env.openUrl(link);
}

LRESULT CtavimorerfDlg::OnServerSyncData(LPARAM record) {
    std::unique_ptr<ServerSyncData> data(reinterpret_cast<ServerSyncData*>(record));
    if (!data) return 0;
    auto size = data->numbers.find("max_upload_file_size");
    if (size != data->numbers.end()) {
        Log("CtavimorerfDlg::OnServerSyncData: max_upload_file_size %u\n", size->second);
        SettingsManager::Instance().SetMaxUploadFileSize(size->second);
    }
    return 0;
}

bool CtavimorerfDlg::ShowUploadError(LPARAM record) {
    std::unique_ptr<UploadError> error(reinterpret_cast<UploadError*>(record));
    if (!error) return false;
    if (m_uploadHandler && m_uploadHandler->Sequence() == error->sequence) {
        Log("Upload error: %s\n", WideToUtf8(error->text).c_str());
        ShowNotification(Text(kTextError), error->text, true);
    }
    return true;
}
