#pragma once
#include <windows.h>

#include "app/SettingsWindowLogic.h"
#include "classlib/Dialog.h"

// The hotkey capture dialog (template 104, "Hotkey configuration"): a page runs it
// modally, without parent, for one of its hotkey fields and reads m_recording after
// IDOK. The hotkey handlers are disabled while it is open, so that pressing the current
// hotkey records it instead of taking a shot.
class CHotkeysReaderDlg : public CDialogEx {
public:
    static constexpr UINT kTemplateId = 104;
    static constexpr int kKeysEdit = 1001;

    CHotkeysReaderDlg();

    HotkeyRecording m_recording;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // Focus on the keys edit, everything selected, then the caret at the end.
    void FocusKeysEdit();
};
