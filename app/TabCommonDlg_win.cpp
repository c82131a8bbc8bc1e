#include "app/TabCommonDlg.h"

#include "app/HotkeysManager.h"
#include "app/HotkeysReaderDlg.h"
#include "app/MainDlgMessages.h"
#include "app/ProgramFolders.h"
#include "app/ProgressDlg.h"
#include "app/SettingsWindowLogic.h"
#include "classlib/DataExchange.h"
#include "foundation/EventBus.h"
#include "foundation/Log.h"
#include "foundation/StringTable.h"
#include "server/Analytics.h"
#include "settings/SettingsManager.h"

namespace {

constexpr int kFullScreenEdit = 1014, kRegionEdit = 1015, kActiveWindowEdit = 1022;
constexpr int kShowCursor = 1016, kTwoButtons = 1017, kPlaySound = 1018, kOpenInBrowser = 1019,
              kDirectLink = 1020, kReportBug = 1068;

std::wstring Text(unsigned id) {
    return StringTable::Instance().GetString(id);
}

}  // namespace

HFONT SetPageFont(HWND page) {
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(110, GetDeviceCaps(screen, LOGPIXELSY), 720);
    ReleaseDC(nullptr, screen);
    LOGFONTW spec = {};
    spec.lfHeight = height;
    spec.lfWeight = FW_NORMAL;
    spec.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(spec.lfFaceName, L"Calibri", LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&spec);
    if (!font) return nullptr;
    SendMessageW(page, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    return font;
}

GeneralPageEnvironment GeneralPageEnvironment::Default() {
    GeneralPageEnvironment env;
    env.postEvent = [](const std::wstring& action, const std::wstring& label) {
        CvxAnalyticsPostEventAsync(-1, L"Settings", action, label);
    };
    env.messageBox = [](HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
        return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
    };
    env.captureHotkey = [](HotkeyCombination& keys) {
        CHotkeysReaderDlg dialog;
        INT_PTR result = dialog.DoModal();
        keys = dialog.m_recording.keys;
        return result;
    };
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
    if (m_font) DeleteObject(m_font);
}

BOOL CTabCommonDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    m_font = SetPageFont(m_hWnd);
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
    switch (msg) {
    case WM_CTLCOLORDLG:
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    case WM_CTLCOLORSTATIC:
        // Labels and check boxes on the white page; read-only edits stay as they are.
        if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != kFullScreenEdit &&
            GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != kRegionEdit &&
            GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != kActiveWindowEdit) {
            SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        }
        break;
    case WM_APP_LOGS_ZIPPED:
        return OnLogsZipped();
    default:
        break;
    }
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
            HotkeyCombination (*get)();
            void (*set)(const HotkeyCombination&);
            const wchar_t* action;
        };
        static const Field fields[] = {
            {kRegionEdit, &HotkeysManager::GetRegionScreenshotHotkey, &HotkeysManager::SetRegionScreenshotHotkey,
             L"Set Hotkey for Region"},
            {kFullScreenEdit, &HotkeysManager::GetFullScreenshotHotkey, &HotkeysManager::SetFullScreenshotHotkey,
             L"Set Hotkey for Fullscreenshot"},
            {kActiveWindowEdit, &HotkeysManager::GetActiveWindowScreenshotHotkey,
             &HotkeysManager::SetActiveWindowScreenshotHotkey, L"Set Hotkey for Capture Window"},
        };
        for (const Field& field : fields) {
            if (msg->hwnd != GetDlgItem(field.id)) continue;
            if (m_capturing) return TRUE;
            m_capturing = true;
            HotkeyCombination keys;
            INT_PTR result = m_env.captureHotkey(keys);
            m_capturing = false;
            if (result == IDOK && !keys.empty()) {
                ApplyHotkey(m_hWnd, keys, field.get(), field.id, field.action, field.set, m_env);
            }
            return TRUE;
        }
    }
    return CDialogEx::PreTranslateMessage(msg);
}

void CTabCommonDlg::ApplyHotkey(HWND page, const HotkeyCombination& keys, const HotkeyCombination& current, int editId,
                                const std::wstring& action,
                                const std::function<void(const HotkeyCombination&)>& setter,
                                const GeneralPageEnvironment& env) {
    if (DecideHotkeyApply(keys, current, HotkeysManager::IsCombinationInUse(keys)) == HotkeyApply::InUse) {
        env.messageBox(page, Text(168), Text(129), MB_OK);
        return;
    }
    setter(keys);
    std::wstring text = HotkeyToText(keys);
    SetDlgItemTextW(page, editId, text.c_str());
    env.postEvent(action, text);
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
        m_env.postEvent(SetOrUnset(on, L"Show Cursor"), L"");
        settings.SetNeedCaptureCursor(on);
        break;
    case kPlaySound:
        m_env.postEvent(SetOrUnset(on, L"Play Sound"), L"");
        settings.SetNeedPlaySound(on);
        break;
    case kTwoButtons:
        m_env.postEvent(SetOrUnset(on, L"Screenshot Use Two Buttons"), L"");
        HotkeysManager::SetUseMouseForRegionScreenshot(on);
        break;
    case kOpenInBrowser:
        m_env.postEvent(SetOrUnset(on, L"Open Screenshot In Browser"), L"");
        settings.SetOpenScreenshotInBrowser(on);
        break;
    case kDirectLink:
        m_env.postEvent(SetOrUnset(on, L"Direct Screenshot File Link"), L"");
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
    m_env.postEvent(L"CreateLogsZip", L"");
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
