#include "app/VersionNotice.h"

#include <ctime>
#include <vector>

#include "app/NewVersionBannerDlg.h"
#include "app/NewVersionDlg.h"
#include "classlib/Wnd.h"
#include "foundation/Log.h"
#include "foundation/StringTable.h"
#include "foundation/Utf.h"
#include "server/HttpGet.h"
#include "server/ServerAPI.h"
#include "server/VersionCheck.h"
#include "settings/SettingsManager.h"

namespace {

constexpr int kBannerShift = 32;   // what the settings window grows and its controls move down
constexpr int kBannerLeft = 16;
constexpr int kBannerTop = 34;

std::wstring DownloadPage(unsigned stringId) {
    return SettingsManager::GetSiteUrl() + L"/" + StringTable::Instance().GetString(stringId);
}

}  // namespace

VersionNotice::VersionNotice(CWnd& window, std::function<void(const std::wstring& url)> openUrl)
    : m_window(window), m_openUrl(std::move(openUrl)) {}

VersionNotice::~VersionNotice() = default;

void VersionNotice::RequestLatestVersion() {
    const std::string siteHost = WideToUtf8(SettingsManager::GetSiteHost());
    std::string host;
    int port = 80;
    ServerAPI::SplitSiteHost(siteHost, host, port);
    HttpGetAsync(host, port, LatestVersionPath(static_cast<int64_t>(std::time(nullptr))),
                 StandardHttpGetHeaderLines(siteHost), &VersionNotice::OnLatestVersionReply);
}

// On the GET thread: only the setting is written.
void VersionNotice::OnLatestVersionReply(const std::string& reply) {
    const std::string version = ExtractLatestVersion(reply);
    if (version.empty()) {
        if (!reply.empty()) Log("CtavimorerfDlg::OnLatestVersionReply: no version in the reply\n");
        return;
    }
    SettingsManager::Instance().SetAvailableVersion(std::wstring(version.begin(), version.end()));
}

void VersionNotice::CheckLatestVersion() {
    const std::string available = WideToUtf8(SettingsManager::Instance().GetAvailableVersion());
    const std::string product = WideToUtf8(SettingsManager::GetProductVersion());
    if (!IsNewerVersion(product, available)) return;
    Log("CtavimorerfDlg: version %s is available\n", available.c_str());
    ShowNewVersionDialog();
    ShowNewVersionBanner();
}

void VersionNotice::ShowNewVersionBanner() {
    if (m_banner) return;
    RECT window;
    GetWindowRect(m_window.m_hWnd, &window);
    auto banner = std::make_unique<CNewVersionBannerDlg>([this] { OpenDownloadPage(154); },
                                                         (window.right - window.left) - 2 * kBannerLeft);
    if (!banner->Create(&m_window)) {
        Log("CtavimorerfDlg::ShowNewVersionBanner: no banner\n");
        return;
    }
    m_banner = std::move(banner);

    // Room for the band: the window grows, the controls under it move down. While the
    // settings window is hidden, OnWindowPosChanging keeps it hidden.
    SetWindowPos(m_window.m_hWnd, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + kBannerShift,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // Every control of the window moves (the pages, the tab control, the silent-mode
    // switch with its labels and help, and also the static label and OK and Cancel,
    // which would otherwise sit under the banner or inside the moved tab control).
    std::vector<HWND> moved;
    for (HWND control = ::GetWindow(m_window.m_hWnd, GW_CHILD); control; control = ::GetWindow(control, GW_HWNDNEXT)) {
        if (control != m_banner->m_hWnd) moved.push_back(control);
    }
    for (HWND control : moved) {
        RECT r;
        ::GetWindowRect(control, &r);
        MapWindowPoints(nullptr, m_window.m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        ::SetWindowPos(control, nullptr, r.left, r.top + kBannerShift, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PlaceNewVersionBanner();
    InvalidateRect(m_window.m_hWnd, nullptr, TRUE);
}

void VersionNotice::PlaceNewVersionBanner() {
    if (!m_banner || !m_banner->m_hWnd) return;
    // The banner is a child of the settings window (so it stacks, moves and hides with it);
    // its place is given in screen coordinates from the window's corner.
    RECT window;
    GetWindowRect(m_window.m_hWnd, &window);
    POINT at = {window.left + kBannerLeft, window.top + kBannerTop};
    ::ScreenToClient(m_window.m_hWnd, &at);
    const bool visible = ::IsWindowVisible(m_window.m_hWnd) != FALSE;
    ::SetWindowPos(m_banner->m_hWnd, HWND_TOP, at.x, at.y, 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE | (visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void VersionNotice::ShowNewVersionDialog() {
    SettingsManager& settings = SettingsManager::Instance();
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (!NewVersionDialogDue(now, settings.GetLastTimeInSecsNewVersionWasShown())) return;
    settings.SetLastTimeInSecsNewVersionWasShown(static_cast<unsigned>(now));

    if (!m_dialog) {
        auto dialog = std::make_unique<CNewVersionDlg>(0, 0, [this](bool ok, bool showAgain) {
            OnNewVersionDialogClosed(ok, showAgain);
        });
        // The window is made first: its size in pixels decides where it goes.
        if (!dialog->Create(nullptr)) {
            Log("CtavimorerfDlg::ShowNewVersionDialog: no pop-up\n");
            return;
        }
        RECT size, work;
        ::GetWindowRect(dialog->m_hWnd, &size);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        const int x = work.right - (size.right - size.left) - 4;
        const int y = work.bottom - (size.bottom - size.top);
        dialog->SetPosition(x, y);
        ::SetWindowPos(dialog->m_hWnd, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        m_dialog = std::move(dialog);
    }
    ::SetWindowPos(m_dialog->m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void VersionNotice::OnNewVersionDialogClosed(bool ok, bool /*showAgain*/) {
    if (ok) OpenDownloadPage(153);
    if (m_dialog && m_dialog->m_hWnd) m_dialog->ShowWindow(SW_HIDE);
}

void VersionNotice::OpenDownloadPage(unsigned stringId) {
    m_openUrl(DownloadPage(stringId));
}

void VersionNotice::HideNewVersionBanner() {
    if (m_banner && m_banner->m_hWnd) m_banner->ShowWindow(SW_HIDE);
}
