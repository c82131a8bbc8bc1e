// What the main dialog's screenshot requests need of it.
#include "app/MainDlg.h"

ScreenshotRequests::Host CtavimorerfDlg::MakeScreenshotHost() {
    ScreenshotRequests::Host host;
    host.window = this;
    host.postEvent = m_env.postEvent;
    host.appTmpFolder = m_env.appTmpFolder;
    host.runRegionEditor = m_env.runRegionEditor;
    host.captureBusy = &m_captureBusy;
    host.uploads = &m_uploads;
    host.notify = [this](const std::wstring& title, const std::wstring& text, bool isError) {
        ShowNotification(title, text, isError);
    };
    return host;
}
