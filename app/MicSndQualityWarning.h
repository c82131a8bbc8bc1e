#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "classlib/Dialog.h"

// "Mixed sound settings failed" (template 235): the microphone and system sound run at
// different sample rates. Shows both and offers the Windows sound settings. Run
// modally; IDOK or IDCANCEL.
class MicSndQualityWarning : public CDialog {
public:
    using ShellExecuteFunction = std::function<void(HWND owner, const std::wstring& verb, const std::wstring& file,
                                                    const std::wstring& parameters, int show)>;

    MicSndQualityWarning(uint32_t micRate, int32_t micChannels, int32_t micBits, uint32_t soundRate,
                         int32_t soundChannels, int32_t soundBits, CWnd* parent = nullptr,
                         ShellExecuteFunction shellExecute = nullptr);

    int32_t m_micRate, m_micChannels, m_micBits;
    int32_t m_soundRate, m_soundChannels, m_soundBits;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;

private:
    ShellExecuteFunction m_shellExecute;
};
