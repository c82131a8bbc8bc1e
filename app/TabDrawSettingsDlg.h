#pragma once
#include <windows.h>

#include "app/SettingsPageEnvironment.h"
#include "classlib/Dialog.h"
#include "classlib/Edit.h"

// The "Editor" page of the settings window (template 108): the hotkey that activates
// the editor and "Always activate editor".
class CTabDrawSettingsDlg : public CDialogEx {
public:
    explicit CTabDrawSettingsDlg(SettingsPageEnvironment environment, CWnd* parent = nullptr);

    // A left-button message on edit 1036 opens the hotkey capture for slot 4.
    BOOL PreTranslateMessage(MSG* msg) override;

    CCustomEdit m_hotkeyEdit;   // 1036

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    SettingsPageEnvironment m_env;
};
