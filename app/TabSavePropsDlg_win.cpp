#include "app/TabSavePropsDlg.h"

#include "app/SettingsPagesLogic.h"
#include "classlib/DataExchange.h"
#include "foundation/EventBus.h"
#include "settings/SettingsManager.h"

namespace {

constexpr int kTemplate = 154;
constexpr int kGroup = 1010;
constexpr int kUploadRadio = 1005;
constexpr int kClipboardRadio = 1006;
constexpr int kLocalCopy = 1020;
constexpr int kFolderEdit = 1001;
constexpr int kFolderButton = 1002;
constexpr int kImageType = 1027;
constexpr int kQualitySlider = 1028;
constexpr int kQualityLabel = 1029;
constexpr int kQualityValue = 1014;
constexpr int kJpegIndex = 1;   // combo items: 0 "PNG", 1 "JPEG"
constexpr int kQualityMin = 25;
constexpr int kQualityMax = 100;

SettingsManager& Settings() {
    return SettingsManager::Instance();
}

}  // namespace

CTabSavePropsDlg::CTabSavePropsDlg(SettingsPageEnvironment environment, CWnd* parent)
    : CDialogEx(kTemplate, parent), m_env(std::move(environment)) {}

CTabSavePropsDlg::~CTabSavePropsDlg() {
    // The slider paints with the brush until the page is gone.
    if (m_hWnd) DestroyWindow();
}

BOOL CTabSavePropsDlg::OnInitDialog() {
    SetBackgroundColor(RGB(255, 255, 255));
    m_sliderBrush.reset(CreateSolidBrush(RGB(255, 255, 255)));
    m_imageType.SubclassDlgItem(kImageType, this);
    m_quality.SubclassDlgItem(kQualitySlider, this);

    m_imageType.AddString(L"PNG");
    m_imageType.AddString(L"JPEG");
    m_imageType.SetCurSel(Settings().GetImageTypeId());
    m_quality.SetRange(kQualityMin, kQualityMax, TRUE);
    m_quality.SetPos(Settings().GetJpegQuality());
    SetDlgItemTextW(m_hWnd, kQualityValue, std::to_wstring(m_quality.GetPos()).c_str());
    SetDlgItemTextW(m_hWnd, kFolderEdit, Settings().GetScreenshotsSavePath().c_str());
    SetPageFont(L"Calibri", 110);

    m_radioIndex = StorageRadioFromBits(Settings().GetStorageType());
    UpdateData(FALSE);
    ApplyImageType(false);
    return TRUE;
}

void CTabSavePropsDlg::DoDataExchange(CDataExchange* dx) {
    int bits = Settings().GetStorageType();
    int local = (bits & kStorageLocal) ? BST_CHECKED : BST_UNCHECKED;
    if (!dx->m_saveAndValidate) {
        for (int id : {kGroup, kClipboardRadio, kUploadRadio, kLocalCopy, kFolderEdit, kFolderButton})
            EnableWindow(GetDlgItem(id), TRUE);
        m_radioIndex = StorageRadioFromBits(bits);
        if (!local) {
            EnableWindow(GetDlgItem(kFolderEdit), FALSE);
            EnableWindow(GetDlgItem(kFolderButton), FALSE);
        }
    }
    DDX_Check(dx, kLocalCopy, local);
    DDX_Radio(dx, kUploadRadio, m_radioIndex);
    DDX_Control(dx, kImageType, m_imageType);
    DDX_Control(dx, kQualitySlider, m_quality);
    if (dx->m_saveAndValidate) Settings().SetStorageType(StorageBitsFromPage(bits, m_radioIndex, local == BST_CHECKED));
}

bool CTabSavePropsDlg::IsLocalCopyChecked() const {
    return m_hWnd && SendMessageW(GetDlgItem(kLocalCopy), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CTabSavePropsDlg::ApplyImageType(bool fromUser) {
    if (!m_hWnd) return;
    if (fromUser) {
        m_env.postEvent(L"Settings", ChoiceAction(L"image type", m_imageType.GetWindowText()), L"");
        Settings().SetImageTypeId(m_imageType.GetCurSel());
    } else {
        m_imageType.SetCurSel(Settings().GetImageTypeId());
        m_quality.SetPos(Settings().GetJpegQuality(), TRUE);
    }
    int show = m_imageType.GetCurSel() == kJpegIndex ? SW_SHOW : SW_HIDE;
    for (int id : {kQualityLabel, kQualitySlider, kQualityValue}) ::ShowWindow(GetDlgItem(id), show);
}

bool CTabSavePropsDlg::OnCommand(WORD id, WORD code, HWND control) {
    switch (id) {
    case kUploadRadio:
    case kClipboardRadio:
        if (code != BN_CLICKED) return false;
        OnStorageRadio(id == kUploadRadio ? 0 : 1);
        return true;
    case kLocalCopy:
        if (code != BN_CLICKED) return false;
        OnLocalCopy();
        return true;
    case kFolderButton:
        if (code != BN_CLICKED) return false;
        OnChooseFolder();
        return true;
    case kFolderEdit:
        if (code != EN_CHANGE) return false;
        OnFolderEditChange();
        return true;
    case kImageType:
        if (code != CBN_SELCHANGE) return false;
        ApplyImageType(true);
        return true;
    default:
        // A page has no OK or Cancel of its own: Enter and Esc belong to the window.
        if (id == IDOK || id == IDCANCEL) return true;
        return false;
    }
}

void CTabSavePropsDlg::OnStorageRadio(int index) {
    if (index == 0) {
        m_env.postEvent(L"Settings", L"Set Save Screenshot To Server", L"");
        EventBus::Instance().Notify("store-on-server-option-set");
    } else {
        m_env.postEvent(L"Settings", L"Set Save Screenshot To Clipboard", L"");
        EventBus::Instance().Notify("store-in-clipboard-option-set");
    }
    UpdateData(TRUE);
}

void CTabSavePropsDlg::OnLocalCopy() {
    bool on = IsLocalCopyChecked();
    m_env.postEvent(L"Settings", ToggleAction(on, L"Save Screenshot To Disk"), L"");
    int bits = Settings().GetStorageType();
    Settings().SetStorageType(on ? (bits | kStorageLocal) : (bits & ~kStorageLocal));
    UpdateData(FALSE);
}

void CTabSavePropsDlg::OnChooseFolder() {
    ChoosePageFolder(m_env, m_hWnd, kFolderEdit, L"Set Screenshot Save Path",
                     [](const std::wstring& folder) { Settings().SetScreenshotsSavePath(folder); });
}

void CTabSavePropsDlg::OnFolderEditChange() {
    KeepPageFolderShown(m_hWnd, kFolderEdit, Settings().GetScreenshotsSavePath());
}

void CTabSavePropsDlg::OnQualityCustomDraw() {
    int pos = m_quality.GetPos();
    std::wstring shown = GetWindowTextString(GetDlgItem(kQualityValue));
    if (shown == std::to_wstring(pos)) return;
    SetDlgItemTextW(m_hWnd, kQualityValue, std::to_wstring(pos).c_str());
    Settings().SetJpegQuality(pos);
}

bool CTabSavePropsDlg::OnNotify(NMHDR* header, LRESULT& result) {
    if (header->idFrom == kQualitySlider && header->code == NM_CUSTOMDRAW) {
        if (m_quality.m_hWnd) OnQualityCustomDraw();
        result = 0;
        return true;
    }
    return false;
}

LRESULT CTabSavePropsDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if ((msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) && m_sliderBrush &&
        reinterpret_cast<HWND>(lParam) == m_quality.m_hWnd && m_quality.m_hWnd) {
        return reinterpret_cast<LRESULT>(m_sliderBrush.get());
    }
    // The slider also reports its moves here; the value follows at once.
    if (msg == WM_HSCROLL && m_quality.m_hWnd && reinterpret_cast<HWND>(lParam) == m_quality.m_hWnd) {
        OnQualityCustomDraw();
        return 0;
    }
    return CDialogEx::WindowProc(msg, wParam, lParam);
}

BOOL CTabSavePropsDlg::PreTranslateMessage(MSG* msg) {
    if ((msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) && msg->wParam == VK_RETURN) return TRUE;
    return CDialogEx::PreTranslateMessage(msg);
}
