#include "app/UploadCenter.h"

#include "app/FlowHolds.h"
#include "app/MainDlgMessages.h"
#include "app/ProgressDlg.h"
#include "app/ScreenshotCapture.h"
#include "app/UploadHandler.h"
#include "app/UploadLinks.h"
#include "classlib/Wnd.h"
#include "foundation/Clipboard.h"
#include "foundation/File.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/Path.h"
#include "foundation/QuietPeriod.h"
#include "foundation/StringTable.h"
#include "foundation/Utf.h"
#include "foundation/WinHandles.h"
#include "resources/resource.h"
#include "server/ScreenshotUidManager.h"
#include "server/ServerAPI.h"
#include "settings/SettingsManager.h"

namespace {

// Strings of the upload road.
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

// The size of a file that can be opened for reading; false when it cannot.
bool ReadableFileSize(const std::wstring& path, uint64_t& size) {
    UniqueHandle probe(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe) {
        Log("CtavimorerfDlg::OnUploadFile: the file cannot be opened\n");
        return false;
    }
    LARGE_INTEGER length = {};
    bool known = GetFileSizeEx(probe.get(), &length) != 0;
    probe.reset();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!known || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

}  // namespace

UploadCenter::UploadCenter(Host host) : m_host(std::move(host)), m_starter(&UploadCenter::SendToServer) {}

UploadCenter::~UploadCenter() = default;

bool UploadCenter::SendToServer(const std::wstring& serverName, const std::wstring& path, int type,
                                const std::wstring& extension, const std::wstring& displayName,
                                std::shared_ptr<UploadHandler> handler) {
    return ServerAPI::UploadScreenshotAsync(path, serverName, type, handler, handler, extension, displayName);
}

void UploadCenter::RequestServerSync() { ServerAPI::RequestSync(new SyncDataReceiver(m_host.window->m_hWnd)); }

void UploadCenter::MakeUploadLink(std::wstring& serverName, std::wstring& link, const std::wstring& letter) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    std::string id = ScreenshotUidManager::Instance().GetUid();
    std::wstring uid(id.begin(), id.end());
    serverName = MakeServerName(now.wDay, now.wMonth, now.wYear, uid);
    link = MakeShortLink(SettingsManager::GetLinkHost(), letter, now.wDay, now.wMonth, now.wYear, uid);
}

bool UploadCenter::StartScreenshotUpload(const std::wstring& savedPath) {
    // The uploaded file is a copy under a random name in the user's temporary folder.
    std::wstring ext = GetFileExtension(savedPath);
    std::wstring copy = MakeTempFilePath() + (ext.empty() ? L"" : L"." + ext);
    if (!File(savedPath).Copy(copy)) {
        Log("StartScreenshotUpload: the copy for the upload failed\n");
        m_host.postEvent(L"Screenshot", L"Failed", L"");
        m_host.window->Post(WM_APP_ERROR, 137, 0);
        return false;
    }
    std::wstring serverName, link;
    MakeUploadLink(serverName, link, L"s");
    if (SettingsManager::Instance().GetUseScreenshotDirectFileLink()) link += GetScreenshotExtension();
    SetClipboardText(m_host.window->m_hWnd, link);
    Log("Screenshot link in clipboard\n");
    // Only an upload that ended well counts as a delivered shot ("Finished").
    return UploadFile(serverName, link, kLinkScreenshot, GetScreenshotExtension(), MakeDefaultScreenshotName(), copy);
}

bool UploadCenter::RefuseUploadWhileRunning() {
    if (!m_handler) return false;
    Log("CtavimorerfDlg: an upload is running, another is refused\n");
    m_host.notify(Text(kTextError), Text(kTextUploadRefused), true);
    return true;
}

bool UploadCenter::UploadFile(const std::wstring& serverName, const std::wstring& link, int type,
                              const std::wstring& extension, const std::wstring& displayName,
                              const std::wstring& path) {
    // One upload at a time: a second one (handed over while the first one's window runs
    // its loop) would replace the window and handler under the running loop.
    if (RefuseUploadWhileRunning()) return false;
    const bool video = extension == L".mp4";
    const HWND target = m_host.window->m_hWnd;

    SIZE size = GetDialogTemplateSize(IDD_PROGRESS);
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    POINT position = {work.right - size.cx - 4, work.bottom - size.cy};
    // Held here for the whole modal run, whatever the messages inside it do.
    auto dialog = std::make_shared<CProgressDlg>(position, Text(kTextLinkInClipboard), nullptr, false, true);
    unsigned sequence = ++m_sequence;
    std::shared_ptr<UploadHandler> handler;
    if (video) {
        handler = std::make_shared<VideoUploadHandler>(target, sequence, path, m_host.appTmpFolder);
    } else {
        handler = std::make_shared<UploadHandler>(target, sequence);
    }
    m_progressDlg = dialog;
    m_handler = handler;
    handler->OnProgress(5);
    dialog->SetPosition(5);   // shown at 5 from its first frame, not only once the message came

    const bool started = m_starter(serverName, path, type, extension, displayName, handler);
    // A started upload holds child starts itself until its curl.exe runs.
    FlowHolds::UploadRequest().End();
    if (!started) {
        Log("CtavimorerfDlg::UploadFile: the upload did not start\n");
        m_progressDlg.reset();
        m_handler.reset();
        return false;
    }
    m_host.hideSettings();
    bool silent = SettingsManager::Instance().GetSilentMode();
    // Silent mode shows no window, but its loop still runs: the UI thread keeps handling
    // its messages (the close request among them) until the upload has ended.
    dialog->SetHidden(silent);
    INT_PTR result = dialog->DoModal();
    if (result == IDOK && !silent) {
        auto* heapLink = new std::wstring(link);
        if (!PostMessageW(target, WM_APP_LINK_READY, static_cast<WPARAM>(type), reinterpret_cast<LPARAM>(heapLink))) {
            delete heapLink;
        }
    }
    if (m_progressDlg == dialog) m_progressDlg.reset();
    if (m_handler == handler) m_handler.reset();
    return result == IDOK;
}

void UploadCenter::UploadChosenFile(const std::wstring& path) {
    if (RefuseUploadWhileRunning()) return;
    std::wstring displayName, extension;
    SplitUploadName(path, displayName, extension);
    uint64_t size = 0;
    if (!ReadableFileSize(path, size)) return;
    if (!FitsUploadLimit(size, SettingsManager::Instance().GetMaxUploadFileSize())) {
        m_host.notify(Text(kTextError), Text(kTextFileTooBig), true);
        return;
    }
    std::wstring serverName, link;
    MakeUploadLink(serverName, link, L"f");
    SetClipboardText(m_host.window->m_hWnd, link);
    UploadFile(serverName, link, kLinkFile, extension, displayName, path);
}

void UploadCenter::SaveRecordedVideo(bool recorded, const std::wstring& path) {
    std::wstring displayName = MakeVideoFileName();
    std::wstring serverName, link;
    MakeUploadLink(serverName, link, L"v");
    if (SettingsManager::Instance().GetUseVideoDirectFileLink()) link += L".mp4";
    SetClipboardText(m_host.window->m_hWnd, link);
    if (recorded) {
        std::wstring tail = link.substr(link.find_last_of(L'/') + 1);
        m_host.postEvent(L"User", L"Upload",
                         Format(L"U[{}], I[{}]").Arg(SettingsManager::Instance().GetShortAppId()).Arg(tail).Str());
    }
    UploadFile(serverName, link, kLinkVideo, L".mp4", displayName, path);
}

bool UploadCenter::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_APP_UPLOAD_FILE: {
        // The request's hold ends on every way out (a started upload ends it earlier).
        QuietPeriod::SlotEnd requestEnd(FlowHolds::UploadRequest());
        std::unique_ptr<std::wstring> path(reinterpret_cast<std::wstring*>(lParam));
        if (path && !path->empty()) UploadChosenFile(*path);
        return true;
    }
    case WM_APP_UPLOAD_PROGRESS:
        OnProgress(static_cast<int>(wParam), static_cast<unsigned>(lParam));
        return true;
    case WM_APP_UPLOAD_FINISHED:
        OnFinished(wParam != 0, static_cast<unsigned>(lParam));
        return true;
    case WM_APP_LINK_READY: {
        std::unique_ptr<std::wstring> link(reinterpret_cast<std::wstring*>(lParam));
        if (link) OnLinkReady(static_cast<int>(wParam), *link);
        return true;
    }
    case WM_APP_SERVER_SYNC_DATA:
        OnServerSyncData(lParam);
        return true;
    default:
        return false;
    }
}

void UploadCenter::OnProgress(int percent, unsigned sequence) {
    if (m_progressDlg && m_handler && m_handler->Sequence() == sequence) {
        // The bar only moves forward: curl's meter starts every attempt at 0 again, after
        // the bar has already shown 5 or a failed attempt's share.
        if (percent > m_progressDlg->Position()) m_progressDlg->SetPosition(percent);
    }
}

void UploadCenter::OnFinished(bool ok, unsigned sequence) {
    if (m_progressDlg && m_handler && m_handler->Sequence() == sequence) {
        Log("CtavimorerfDlg::OnUploadFinished: %s\n", ok ? "ok" : "failed");
        if (ok) m_progressDlg->SetPosition(100);
        bool silent = SettingsManager::Instance().GetSilentMode();
        m_progressDlg->FinishAfter(ok ? IDOK : IDCANCEL, silent ? 0 : kProgressCloseDelayMs);
    }
}

void UploadCenter::OnLinkReady(int type, const std::wstring& link) {
    SettingsManager& settings = SettingsManager::Instance();
    std::wstring opened =
        LinkToOpen(type, link, settings.GetUseScreenshotDirectFileLink(), settings.GetUseVideoDirectFileLink());
    OpenLinkInBrowser(type, opened);
}

void UploadCenter::OpenLinkInBrowser(int type, const std::wstring& link) {
    SettingsManager& settings = SettingsManager::Instance();
    if (!MayOpenLink(type, settings.GetOpenScreenshotInBrowser(), settings.GetNeedToOpenVideoInBrowser())) return;
    m_host.openUrl(link);
}

void UploadCenter::OnServerSyncData(LPARAM record) {
    std::unique_ptr<ServerSyncData> data(reinterpret_cast<ServerSyncData*>(record));
    if (!data) return;
    auto size = data->numbers.find("max_upload_file_size");
    if (size != data->numbers.end()) {
        Log("CtavimorerfDlg::OnServerSyncData: max_upload_file_size %u\n", size->second);
        SettingsManager::Instance().SetMaxUploadFileSize(size->second);
    }
}

bool UploadCenter::ShowUploadError(LPARAM record) {
    std::unique_ptr<UploadError> error(reinterpret_cast<UploadError*>(record));
    if (!error) return false;
    if (m_handler && m_handler->Sequence() == error->sequence) {
        Log("Upload error: %s\n", WideToUtf8(error->text).c_str());
        m_host.notify(Text(kTextError), error->text, true);
    }
    return true;
}
