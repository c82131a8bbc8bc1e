#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "classlib/Dialog.h"
#include "classlib/Edit.h"
#include "app/SettingsPageEnvironment.h"
#include "foundation/IEventListener.h"
#include "foundation/SupportLogsZip.h"

class CProgressDlg;

// What the General page asks of the rest of the process. The program uses Default();
// Wine tests replace entries to watch or steer the page.
struct GeneralPageEnvironment {
    // Analytics, message boxes and the hotkey capture, as the other pages have them.
    SettingsPageEnvironment page;
    // Starts the support-logs packer; false when its job did not start.
    std::function<bool(const SupportLogsRequest& request)> createSupportLogsZip;
    std::function<void()> closeLog;
    std::function<void()> openLog;
    std::wstring logFolder;

    static GeneralPageEnvironment Default();
};

// The "General" page of the settings window (template 152): the three screenshot
// hotkeys, the check boxes of the capture options and "Report a bug". Every change is
// applied at once; the page has nothing to save on OK. A modeless child of the main
// dialog, which fills its controls whenever the window is shown.
class CTabCommonDlg : public CDialogEx, public IEventListener {
public:
    static constexpr UINT kTemplateId = 152;

    explicit CTabCommonDlg(GeneralPageEnvironment environment = GeneralPageEnvironment::Default());
    ~CTabCommonDlg() override;

    // "store-in-clipboard-option-set" hides "Open screenshot in the browser",
    // "store-on-server-option-set" shows it; other names do nothing.
    void OnEvent(const std::string& name) override;

    CCustomEdit m_fullScreenEdit;     // 1014
    CCustomEdit m_regionEdit;         // 1015
    CCustomEdit m_activeWindowEdit;   // 1022

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Enter and Esc belong to the main dialog.
    void OnOK() override {}
    void OnCancel() override {}

private:
    void OnCheckBox(int id);
    void OnReportBug();
    LRESULT OnLogsZipped();

    GeneralPageEnvironment m_env;
    std::shared_ptr<CProgressDlg> m_reportProgress;
    bool m_reportRunning = false;
};
