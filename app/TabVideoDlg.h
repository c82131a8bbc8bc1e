#pragma once
#include <windows.h>

#include "app/SettingsPageEnvironment.h"
#include "classlib/Dialog.h"
#include "classlib/Edit.h"

// The "Video" page of the settings window (template 116): the recording hotkey, the
// mouse shortcut, where recordings go, sound and microphone (tested at once when turned
// on), the control panel, the direct link and the quality.
class CTabVideoDlg : public CDialogEx {
public:
    explicit CTabVideoDlg(SettingsPageEnvironment environment, CWnd* parent = nullptr);

    // Radio 1057 ("Locally in the directory"): the main dialog keeps 1052 disabled then.
    bool IsLocalSaveChecked() const;

    // A left-button message on edit 1050 opens the hotkey capture for slot 6.
    BOOL PreTranslateMessage(MSG* msg) override;

    CCustomEdit m_hotkeyEdit;   // 1050

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    void OnSaveRadio(bool local);
    void OnChooseFolder();
    void OnFolderEditChange();
    // Check boxes 1062 (sound) and 1063 (microphone).
    void OnSoundSource(bool microphone);
    void OnQualityChange();
    // Enables the folder controls and "Open video in the browser" for the save choice.
    void UpdateSaveControls();
    bool IsChecked(int id) const;
    void SetChecked(int id, bool on);

    SettingsPageEnvironment m_env;
};
