#pragma once
// Windows only: the main dialog's version check.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

class CNewVersionBannerDlg;
class CNewVersionDlg;
class CWnd;

// The version check: the latest-version request (timer 4), whose reply step runs on the
// request's thread and only stores the version; the comparison with ours (timer 5),
// which shows the pop-up (at most once a day) and the banner over the settings window
// when the stored version is newer. UI thread only, except OnLatestVersionReply.
class VersionNotice {
public:
    // `window` is the settings window (the main dialog), which the banner sits in; not
    // owned, outlives this object.
    VersionNotice(CWnd& window, std::function<void(const std::wstring& url)> openUrl);
    ~VersionNotice();
    VersionNotice(const VersionNotice&) = delete;
    VersionNotice& operator=(const VersionNotice&) = delete;

    void RequestLatestVersion();
    static void OnLatestVersionReply(const std::string& reply);
    void CheckLatestVersion();

    void ShowNewVersionBanner();
    // Keeps the banner over the top of the settings window, shown only with it.
    void PlaceNewVersionBanner();
    void HideNewVersionBanner();
    void ShowNewVersionDialog();
    void OnNewVersionDialogClosed(bool ok, bool showAgain);

private:
    // Opens the download page: the site address, "/" and string `stringId`.
    void OpenDownloadPage(unsigned stringId);

    CWnd& m_window;
    std::function<void(const std::wstring& url)> m_openUrl;
    std::unique_ptr<CNewVersionBannerDlg> m_banner;   // created once, at the first newer version
    std::unique_ptr<CNewVersionDlg> m_dialog;         // created once, then shown and hidden
};
