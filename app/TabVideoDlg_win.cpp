#include "app/TabVideoDlg.h"

#include "app/HotkeysManager.h"
#include "app/MicSndQualityWarning.h"
#include "app/SettingsPagesLogic.h"
#include "classlib/Controls.h"
#include "classlib/DataExchange.h"
#include "foundation/Log.h"
#include "foundation/StringTable.h"
#include "settings/SettingsManager.h"

namespace {

constexpr int kTemplate = 116;
constexpr int kHotkeyEdit = 1050;
constexpr int kMouseShortcut = 1051;
constexpr int kOpenInBrowser = 1052;
constexpr int kFolderEdit = 1054;
constexpr int kFolderButton = 1055;
constexpr int kUploadRadio = 1056;
constexpr int kLocalRadio = 1057;
constexpr int kRecordSound = 1062;
constexpr int kRecordMic = 1063;
constexpr int kControlPanel = 1064;
constexpr int kDirectLink = 1077;
constexpr int kQuality = 1079;
constexpr unsigned kNoSoundText = 187;
constexpr unsigned kNoMicText = 188;

SettingsManager& Settings() {
    return SettingsManager::Instance();
}

}  // namespace

CTabVideoDlg::CTabVideoDlg(SettingsPageEnvironment environment, CWnd* parent)
    : CDialogEx(kTemplate, parent), m_env(std::move(environment)) {}

bool CTabVideoDlg::IsChecked(int id) const {
    return m_hWnd && SendMessageW(GetDlgItem(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CTabVideoDlg::SetChecked(int id, bool on) {
    SendMessageW(GetDlgItem(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CTabVideoDlg::IsLocalSaveChecked() const {
    return IsChecked(kLocalRadio);
}

BOOL CTabVideoDlg::OnInitDialog() {
    SetBackgroundColor(RGB(255, 255, 255));
    SetPageFont(L"Calibri", 110);
    SetDlgItemTextW(m_hWnd, kHotkeyEdit, HotkeyToText(HotkeysManager::GetVideoRecordingHotkey()).c_str());

    HWND quality = GetDlgItem(kQuality);
    for (int level = 0; level < 3; level++)
        SendMessageW(quality, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(VideoQualityItem(level)));
    SendMessageW(quality, CB_SETCURSEL, static_cast<WPARAM>(Settings().GetVideoQualityLevel()), 0);

    bool local = Settings().GetVideoSaveType() == 1;
    SetChecked(kLocalRadio, local);
    SetChecked(kUploadRadio, !local);
    UpdateSaveControls();

    // The main dialog refreshes these on every show; the page starts from the settings too.
    SetDlgItemTextW(m_hWnd, kFolderEdit, Settings().GetVideoSavePath().c_str());
    SetChecked(kMouseShortcut, Settings().GetUseLRMouseForVideoRecording());
    SetChecked(kOpenInBrowser, Settings().GetNeedToOpenVideoInBrowser());
    SetChecked(kRecordSound, Settings().GetNeedCaptureAudio());
    SetChecked(kRecordMic, Settings().GetNeedCaptureMic());
    SetChecked(kControlPanel, Settings().GetShowVideoControlPanel());
    UpdateData(FALSE);
    return TRUE;
}

void CTabVideoDlg::DoDataExchange(CDataExchange* dx) {
    if (!dx->m_saveAndValidate) {
        int directLink = Settings().GetUseVideoDirectFileLink() ? BST_CHECKED : BST_UNCHECKED;
        DDX_Check(dx, kDirectLink, directLink);
    }
    DDX_Control(dx, kHotkeyEdit, m_hotkeyEdit);
}

void CTabVideoDlg::UpdateSaveControls() {
    VideoSaveControls controls = VideoSaveControlsFor(IsChecked(kLocalRadio), Settings().GetSilentMode());
    EnableWindow(GetDlgItem(kFolderEdit), controls.folderEnabled);
    EnableWindow(GetDlgItem(kFolderButton), controls.folderEnabled);
    EnableWindow(GetDlgItem(kOpenInBrowser), controls.openInBrowserEnabled);
}

BOOL CTabVideoDlg::PreTranslateMessage(MSG* msg) {
    if (msg->wParam == MK_LBUTTON && m_hotkeyEdit.m_hWnd && msg->hwnd == m_hotkeyEdit.m_hWnd &&
        msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST) {
        if (m_env.captureHotkey)
            m_env.captureHotkey(m_hotkeyEdit.m_hWnd, HotkeySlot::VideoRecordingActivation,
                                L"Set Hotkey for Video Recording");
        return TRUE;
    }
    return CDialogEx::PreTranslateMessage(msg);
}

bool CTabVideoDlg::OnCommand(WORD id, WORD code, HWND control) {
    // A page has no OK or Cancel of its own: Enter and Esc belong to the window.
    if (id == IDOK || id == IDCANCEL) return true;
    if (id == kFolderEdit) {
        if (code != EN_CHANGE) return false;
        OnFolderEditChange();
        return true;
    }
    if (id == kQuality) {
        if (code != CBN_SELCHANGE) return false;
        OnQualityChange();
        return true;
    }
    if (code != BN_CLICKED) return false;
    switch (id) {
    case kUploadRadio:
        OnSaveRadio(false);
        return true;
    case kLocalRadio:
        OnSaveRadio(true);
        return true;
    case kFolderButton:
        OnChooseFolder();
        return true;
    case kRecordSound:
        OnSoundSource(false);
        return true;
    case kRecordMic:
        OnSoundSource(true);
        return true;
    case kOpenInBrowser: {
        bool on = IsChecked(id);
        m_env.postEvent(L"Settings", ToggleAction(on, L"Open Video In Browser"), L"");
        Settings().SetNeedToOpenVideoInBrowser(on);
        return true;
    }
    case kMouseShortcut: {
        bool on = IsChecked(id);
        m_env.postEvent(L"Settings", ToggleAction(on, L"Video Use Mouse Hotkey"), L"");
        HotkeysManager::SetUseMouseForVideoRecording(on);
        return true;
    }
    case kControlPanel: {
        bool on = IsChecked(id);
        m_env.postEvent(L"Settings", ToggleAction(on, L"Video Show Control Panel"), L"");
        Settings().SetShowVideoControlPanel(on);
        return true;
    }
    case kDirectLink: {
        bool on = IsChecked(id);
        m_env.postEvent(L"Settings", ToggleAction(on, L"Direct Video File Link"), L"");
        Settings().SetUseVideoDirectFileLink(on);
        return true;
    }
    default:
        return false;
    }
}

void CTabVideoDlg::OnSaveRadio(bool local) {
    UpdateSaveControls();
    if (!local) {
        if (IsChecked(kUploadRadio)) Settings().SetVideoSaveType(0);
        m_env.postEvent(L"Settings", L"Set Save Video To Server", L"");
    } else {
        if (!IsChecked(kUploadRadio)) Settings().SetVideoSaveType(1);
        m_env.postEvent(L"Settings", L"Set Save Video To Disk", L"");
    }
}

void CTabVideoDlg::OnChooseFolder() {
    ChoosePageFolder(m_env, m_hWnd, kFolderEdit, L"Set Video Save Path",
                     [](const std::wstring& folder) { Settings().SetVideoSavePath(folder); });
}

void CTabVideoDlg::OnFolderEditChange() {
    KeepPageFolderShown(m_hWnd, kFolderEdit, Settings().GetVideoSavePath());
}

void CTabVideoDlg::OnQualityChange() {
    HWND quality = GetDlgItem(kQuality);
    m_env.postEvent(L"Settings", ChoiceAction(L"Video Quality", GetWindowTextString(quality)), L"");
    Settings().SetVideoQualityLevel(static_cast<int>(SendMessageW(quality, CB_GETCURSEL, 0, 0)));
}

void CTabVideoDlg::OnSoundSource(bool microphone) {
    const int thisBox = microphone ? kRecordMic : kRecordSound;
    const int otherBox = microphone ? kRecordSound : kRecordMic;
    auto store = [](bool mic, bool on) {
        if (mic)
            Settings().SetNeedCaptureMic(on);
        else
            Settings().SetNeedCaptureAudio(on);
    };

    bool on = IsChecked(thisBox);
    m_env.postEvent(L"Settings", ToggleAction(on, microphone ? L"Video Record Microphone" : L"Video Record Sound"), L"");
    store(microphone, on);

    // The device test shares the recorder's audio state: never while a recording runs.
    bool tested = !(m_env.recordingActive && m_env.recordingActive());
    AudioDeviceReport report;
    if (tested && m_env.checkAudioDevices) {
        report = m_env.checkAudioDevices();
    } else if (tested) {
        tested = false;
    } else {
        Log("CTabVideoDlg: a recording is active, the audio devices are not tested\n");
    }
    bool thisOk = microphone ? report.micOk : report.soundOk;
    bool otherOk = microphone ? report.soundOk : report.micOk;

    switch (DecideSoundCheck(tested, on, thisOk, IsChecked(otherBox), otherOk, report.formatsMatch)) {
    case SoundCheckOutcome::SourceNotFound:
        m_env.postEvent(L"Settings", microphone ? L"Show No Mic Warning" : L"Show No Sound Warning", L"");
        m_env.messageBox(m_hWnd, StringTable::Instance().GetString(microphone ? kNoMicText : kNoSoundText), L"",
                         MB_ICONWARNING);
        break;
    case SoundCheckOutcome::QualityWarning: {
        m_env.postEvent(L"Settings", L"Show Sound Quality Warning",
                        SoundQualityLabel(report.sound.sampleRate, report.mic.sampleRate));
        CWnd* owner = CWnd::FromHandle(GetAncestor(m_hWnd, GA_ROOT));
        MicSndQualityWarning warning(report.mic.sampleRate, report.mic.channels, report.mic.bitsPerSample,
                                     report.sound.sampleRate, report.sound.channels, report.sound.bitsPerSample,
                                     owner ? owner : this, m_env.shellExecute);
        INT_PTR answer = warning.DoModal();
        if (answer == IDOK) {
            SetChecked(otherBox, false);
            store(!microphone, false);
        } else if (answer == IDCANCEL) {
            SetChecked(thisBox, false);
            store(microphone, false);
        } else {
            Log("CTabVideoDlg: the sound-quality warning could not be shown\n");
        }
        break;
    }
    case SoundCheckOutcome::Nothing:
        break;
    }
}
