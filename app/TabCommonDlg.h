#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "classlib/Dialog.h"
#include "classlib/Edit.h"
#include "foundation/IEventListener.h"
#include "foundation/SupportLogsZip.h"
#include "settings/HotkeyCombination.h"

class CProgressDlg;

// What the General page asks of the rest of the process. The program uses Default();
// Wine tests replace entries to watch or steer the page.
struct GeneralPageEnvironment {
    // An analytics event ("Settings", action, label) without value.
    std::function<void(const std::wstring& action, const std::wstring& label)> postEvent;
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)> messageBox;
    // Runs the capture dialog; IDOK with the recorded keys, or another result.
    std::function<INT_PTR(HotkeyCombination& keys)> captureHotkey;
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

    // Applies a recorded combination to a slot unless another slot uses it: the setter
    // stores it, edit `editId` shows it and the event is sent; otherwise the message box.
    // Shared by the pages that have hotkey fields.
    static void ApplyHotkey(HWND page, const HotkeyCombination& keys, const HotkeyCombination& current, int editId,
                            const std::wstring& action, const std::function<void(const HotkeyCombination&)>& setter,
                            const GeneralPageEnvironment& env);

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
    bool m_capturing = false;   // the capture dialog is open (its loop runs inside ours)
    HFONT m_font = nullptr;
};

// The 11-point "Calibri" font on a page and every child of it; the caller deletes it.
HFONT SetPageFont(HWND page);
