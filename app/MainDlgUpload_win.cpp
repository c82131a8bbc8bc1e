// What the main dialog's upload center needs of it.
#include "app/MainDlg.h"

UploadCenter::Host CtavimorerfDlg::MakeUploadHost() {
    UploadCenter::Host host;
    host.window = this;
    host.notify = [this](const std::wstring& title, const std::wstring& text, bool isError) {
        ShowNotification(title, text, isError);
    };
    host.hideSettings = [this] {
        HideSettingsWindow();
        m_version.HideNewVersionBanner();
    };
    host.postEvent = m_env.postEvent;
    host.openUrl = m_env.openUrl;
    host.appTmpFolder = m_env.appTmpFolder;
    return host;
}
