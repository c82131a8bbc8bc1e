#include "app/TabCommonDlg.h"

#include "app/HotkeysManager.h"
#include "app/MainDlgMessages.h"
#include "app/ProgramFolders.h"
#include "app/ProgressDlg.h"
#include "app/SettingsWindowLogic.h"
#include "classlib/DataExchange.h"
#include "foundation/EventBus.h"
#include "foundation/Log.h"
#include "foundation/StringTable.h"
#include "settings/SettingsManager.h"

namespace {

constexpr int kFullScreenEdit = 1014, kRegionEdit = 1015, kActiveWindowEdit = 1022;
constexpr int kShowCursor = 1016, kTwoButtons = 1017, kPlaySound = 1018, kOpenInBrowser = 1019,
              kDirectLink = 1020, kReportBug = 1068;

}  // namespace

GeneralPageEnvironment GeneralPageEnvironment::Default() {
    GeneralPageEnvironment env;
    env.page = SettingsPageEnvironment::Default();
    env.createSupportLogsZip = &CreateSupportLogsZip;
    env.closeLog = &CloseLogFile;
    env.openLog = &OpenLogFile;
    env.logFolder = g_appLogFolder;
    return env;
}

CTabCommonDlg::CTabCommonDlg(GeneralPageEnvironment environment)
    : CDialogEx(kTemplateId, nullptr), m_env(std::move(environment)) {}

CTabCommonDlg::~CTabCommonDlg() {
    EventBus::Instance().Unregister(this);
    if (m_hWnd) DestroyWindow();
}

BOOL CTabCommonDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    SetBackgroundColor(RGB(255, 255, 255));
    SetPageFont(L"Calibri", 110);
    UpdateData(FALSE);
    return TRUE;
}

void CTabCommonDlg::DoDataExchange(CDataExchange* dx) {
    if (!dx->m_saveAndValidate) {
        CheckDlgButton(m_hWnd, kDirectLink,
                       SettingsManager::Instance().GetUseScreenshotDirectFileLink() ? BST_CHECKED : BST_UNCHECKED);
    }
    DDX_Control(dx, kFullScreenEdit, m_fullScreenEdit);
    DDX_Control(dx, kRegionEdit, m_regionEdit);
    DDX_Control(dx, kActiveWindowEdit, m_activeWindowEdit);
}

LRESULT CTabCommonDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_APP_LOGS_ZIPPED) return OnLogsZipped();
    return CDialogEx::WindowProc(msg, wParam, lParam);
}

BOOL CTabCommonDlg::PreTranslateMessage(MSG* msg) {
    // The left button pressed on a hotkey field (or moved while held over it) opens
    // the capture dialog.
    bool leftButton = msg->wParam == MK_LBUTTON &&
                      (msg->message == WM_LBUTTONDOWN || msg->message == WM_MOUSEMOVE ||
                       msg->message == WM_LBUTTONDBLCLK);
    if (leftButton && msg->hwnd) {
        struct Field {
            int id;
            HotkeySlot slot;
            const wchar_t* action;
        };
        static const Field fields[] = {
            {kRegionEdit, HotkeySlot::RegionScreenshot, L"Set Hotkey for Region"},
            {kFullScreenEdit, HotkeySlot::FullScreenshot, L"Set Hotkey for Fullscreenshot"},
            {kActiveWindowEdit, HotkeySlot::ActiveWindowScreenshot, L"Set Hotkey for Capture Window"},
        };
        for (const Field& field : fields) {
            HWND edit = GetDlgItem(field.id);
            if (msg->hwnd != edit) continue;
            if (m_env.page.captureHotkey) m_env.page.captureHotkey(edit, field.slot, field.action);
            return TRUE;
        }
    }
    return CDialogEx::PreTranslateMessage(msg);
}

bool CTabCommonDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (code != BN_CLICKED) return CDialogEx::OnCommand(id, code, control);
    switch (id) {
    case kShowCursor:
    case kPlaySound:
    case kTwoButtons:
    case kOpenInBrowser:
    case kDirectLink:
        OnCheckBox(id);
        return true;
    case kReportBug:
        OnReportBug();
        return true;
    default:
        return CDialogEx::OnCommand(id, code, control);
    }
}

void CTabCommonDlg::OnCheckBox(int id) {
    bool on = IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
    SettingsManager& settings = SettingsManager::Instance();
    switch (id) {
    case kShowCursor:
        m_env.page.postEvent(L"Settings", SetOrUnset(on, L"Show Cursor"), L"");
        settings.SetNeedCaptureCursor(on);
        break;
    case kPlaySound:
        m_env.page.postEvent(L"Settings", SetOrUnset(on, L"Play Sound"), L"");
        settings.SetNeedPlaySound(on);
        break;
    case kTwoButtons:
        m_env.page.postEvent(L"Settings", SetOrUnset(on, L"Screenshot Use Two Buttons"), L"");
        HotkeysManager::SetUseMouseForRegionScreenshot(on);
        break;
    case kOpenInBrowser:
        m_env.page.postEvent(L"Settings", SetOrUnset(on, L"Open Screenshot In Browser"), L"");
        settings.SetOpenScreenshotInBrowser(on);
        break;
    case kDirectLink:
        m_env.page.postEvent(L"Settings", SetOrUnset(on, L"Direct Screenshot File Link"), L"");
        settings.SetUseScreenshotDirectFileLink(on);
        break;
    default:
        break;
    }
}

void CTabCommonDlg::OnEvent(const std::string& name) {
    HWND openInBrowser = GetDlgItem(kOpenInBrowser);
    if (!openInBrowser) return;
    if (name == "store-in-clipboard-option-set") {
        ::ShowWindow(openInBrowser, SW_HIDE);
    } else if (name == "store-on-server-option-set") {
        ::ShowWindow(openInBrowser, SW_SHOW);
    }
}

void CTabCommonDlg::OnReportBug() {
    if (m_reportRunning || m_reportProgress) return;
    m_reportRunning = true;
    m_reportProgress = std::make_shared<CProgressDlg>(POINT{-1, -1}, Text(208), nullptr, true, false);
    m_env.page.postEvent(L"Settings", L"CreateLogsZip", L"");
    // The log file is packed: nothing may be written to it meanwhile.
    m_env.closeLog();
    SupportLogsRequest request;
    request.notifyWindow = m_hWnd;
    request.mainWindow = GetParent(m_hWnd);
    request.logFolder = m_env.logFolder;
    request.notifyMessage = WM_APP_LOGS_ZIPPED;
    request.settingsPath = SettingsManager::Instance().SettingsPath();
    if (m_env.createSupportLogsZip(request)) {
        m_reportProgress->DoModal();
    }
    // Without a started job no message would end the window: it is not shown at all.
    m_reportProgress.reset();
    m_env.openLog();
    m_reportRunning = false;
}

LRESULT CTabCommonDlg::OnLogsZipped() {
    // The bar stays a second longer, then the window ends.
    if (m_reportProgress) m_reportProgress->FinishAfter(IDOK, 1000);
    return 0;
}
