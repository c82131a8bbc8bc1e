// The version check in the main dialog: the latest-version request (timer 4), the
// comparison (timer 5), the banner over the settings window and the daily pop-up.
#include <ctime>

#include "app/MainDlg.h"
#include "app/NewVersionBannerDlg.h"
#include "app/NewVersionDlg.h"
#include "foundation/Log.h"
#include "foundation/StringTable.h"
#include "foundation/Utf.h"
#include "resources/resource.h"
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

void CtavimorerfDlg::RequestLatestVersion() {
    const std::string siteHost = WideToUtf8(SettingsManager::GetSiteHost());
    std::string host;
    int port = 80;
    ServerAPI::SplitSiteHost(siteHost, host, port);
    HttpGetAsync(host, port, LatestVersionPath(static_cast<int64_t>(std::time(nullptr))),
                 StandardHttpGetHeaderLines(siteHost), &CtavimorerfDlg::OnLatestVersionReply);
}

// On the GET thread: only the setting is written.
void CtavimorerfDlg::OnLatestVersionReply(const std::string& reply) {
    const std::string version = ExtractLatestVersion(reply);
    if (version.empty()) {
        if (!reply.empty()) Log("CtavimorerfDlg::OnLatestVersionReply: no version in the reply\n");
        return;
    }
    SettingsManager::Instance().SetAvailableVersion(std::wstring(version.begin(), version.end()));
}

void CtavimorerfDlg::CheckLatestVersion() {
    const std::string available = WideToUtf8(SettingsManager::Instance().GetAvailableVersion());
    const std::string product = WideToUtf8(SettingsManager::GetProductVersion());
    if (!IsNewerVersion(product, available)) return;
    Log("CtavimorerfDlg: version %s is available\n", available.c_str());
    ShowNewVersionDialog();
    ShowNewVersionBanner();
}

void CtavimorerfDlg::ShowNewVersionBanner() {
    if (m_newVersionBanner) return;
    RECT window;
    GetWindowRect(m_hWnd, &window);
    auto banner = std::make_unique<CNewVersionBannerDlg>([this] { OpenDownloadPage(154); },
                                                         (window.right - window.left) - 2 * kBannerLeft);
    if (!banner->Create(this)) {
        Log("CtavimorerfDlg::ShowNewVersionBanner: no banner\n");
        return;
    }
    m_newVersionBanner = std::move(banner);

    // Room for the band: the window grows, the controls under it move down. While the
    // settings window is hidden, OnWindowPosChanging keeps it hidden.
    SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + kBannerShift,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // Every control of the window moves (the pages, the tab control, the silent-mode
    // switch with its labels and help, and also the static label and OK and Cancel,
    // which would otherwise sit under the banner or inside the moved tab control).
    std::vector<HWND> moved;
    for (HWND control = ::GetWindow(m_hWnd, GW_CHILD); control; control = ::GetWindow(control, GW_HWNDNEXT)) {
        if (control != m_newVersionBanner->m_hWnd) moved.push_back(control);
    }
    for (HWND control : moved) {
        RECT r;
        ::GetWindowRect(control, &r);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        ::SetWindowPos(control, nullptr, r.left, r.top + kBannerShift, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PlaceNewVersionBanner();
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CtavimorerfDlg::PlaceNewVersionBanner() {
    if (!m_newVersionBanner || !m_newVersionBanner->m_hWnd) return;
    // The banner is a child of this window (so it stacks, moves and hides with it);
    // its place is given in screen coordinates from the window's corner.
    RECT window;
    GetWindowRect(m_hWnd, &window);
    POINT at = {window.left + kBannerLeft, window.top + kBannerTop};
    ::ScreenToClient(m_hWnd, &at);
    const bool visible = ::IsWindowVisible(m_hWnd) != FALSE;
    ::SetWindowPos(m_newVersionBanner->m_hWnd, HWND_TOP, at.x, at.y, 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE | (visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void CtavimorerfDlg::ShowNewVersionDialog() {
    SettingsManager& settings = SettingsManager::Instance();
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (!NewVersionDialogDue(now, settings.GetLastTimeInSecsNewVersionWasShown())) return;
    settings.SetLastTimeInSecsNewVersionWasShown(static_cast<unsigned>(now));

    if (!m_newVersionDlg) {
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
        m_newVersionDlg = std::move(dialog);
    }
    ::SetWindowPos(m_newVersionDlg->m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void CtavimorerfDlg::OnNewVersionDialogClosed(bool ok, bool /*showAgain*/) {
    if (ok) OpenDownloadPage(153);
    if (m_newVersionDlg && m_newVersionDlg->m_hWnd) m_newVersionDlg->ShowWindow(SW_HIDE);
}

void CtavimorerfDlg::OpenDownloadPage(unsigned stringId) {
    m_env.openUrl(DownloadPage(stringId));
}

void CtavimorerfDlg::HideNewVersionBanner() {
    if (m_newVersionBanner && m_newVersionBanner->m_hWnd) m_newVersionBanner->ShowWindow(SW_HIDE);
}
