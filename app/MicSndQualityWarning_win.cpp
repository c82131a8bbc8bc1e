#include "app/MicSndQualityWarning.h"

#include <commctrl.h>
#include <shellapi.h>

#include "foundation/Format.h"
#include "foundation/StringTable.h"
#include "settings/SettingsManager.h"

namespace {

constexpr int kTemplate = 235;
constexpr int kMicRate = 1064;
constexpr int kSoundRate = 1065;
constexpr int kSoundSettings = 1058;
constexpr int kHelpLink = 1063;
constexpr unsigned kHelpPage = 190;
constexpr unsigned kFrequencyText = 191;

std::wstring FrequencyText(int32_t rate) {
    return Format(StringTable::Instance().GetString(kFrequencyText)).ArgInt(rate).Str();
}

}  // namespace

MicSndQualityWarning::MicSndQualityWarning(uint32_t micRate, int32_t micChannels, int32_t micBits,
                                           uint32_t soundRate, int32_t soundChannels, int32_t soundBits,
                                           CWnd* parent, ShellExecuteFunction shellExecute)
    : CDialog(kTemplate, parent),
      m_micRate(static_cast<int32_t>(micRate)),
      m_micChannels(micChannels),
      m_micBits(micBits),
      m_soundRate(static_cast<int32_t>(soundRate)),
      m_soundChannels(soundChannels),
      m_soundBits(soundBits),
      m_shellExecute(std::move(shellExecute)) {
    // The help link is a SysLink control.
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LINK_CLASS};
    InitCommonControlsEx(&classes);
    if (!m_shellExecute) {
        m_shellExecute = [](HWND owner, const std::wstring& verb, const std::wstring& file,
                            const std::wstring& parameters, int show) {
            ShellExecuteW(owner, verb.c_str(), file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                          nullptr, show);
        };
    }
}

BOOL MicSndQualityWarning::OnInitDialog() {
    SetDlgItemTextW(m_hWnd, kMicRate, FrequencyText(m_micRate).c_str());
    SetDlgItemTextW(m_hWnd, kSoundRate, FrequencyText(m_soundRate).c_str());
    return TRUE;
}

bool MicSndQualityWarning::OnCommand(WORD id, WORD code, HWND control) {
    if (id == kSoundSettings && code == BN_CLICKED) {
        // The Windows sound settings, on their recording page.
        if (m_shellExecute)
            m_shellExecute(m_hWnd, L"open", L"rundll32.exe", L"shell32.dll,Control_RunDLL mmsys.cpl,,1",
                           SW_SHOWNORMAL);
        return true;
    }
    return CDialog::OnCommand(id, code, control);
}

bool MicSndQualityWarning::OnNotify(NMHDR* header, LRESULT& result) {
    if (header->idFrom == kHelpLink && (header->code == NM_CLICK || header->code == NM_RETURN)) {
        if (m_shellExecute)
            m_shellExecute(m_hWnd, L"open",
                           SettingsManager::GetSiteUrl() + L"/" + StringTable::Instance().GetString(kHelpPage), L"",
                           SW_SHOWNORMAL);
        result = 0;
        return true;
    }
    return false;
}
