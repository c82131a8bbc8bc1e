#pragma once
#include <windows.h>

#include "app/SettingsPageEnvironment.h"
#include "classlib/Controls.h"
#include "classlib/Dialog.h"
#include "foundation/WinHandles.h"

// The "Save settings" page of the settings window (template 154): where screenshots go
// (upload or clipboard, and a local copy in a folder), the file type and the JPEG
// quality. Every change is stored at once and sends one analytics event.
class CTabSavePropsDlg : public CDialogEx {
public:
    explicit CTabSavePropsDlg(SettingsPageEnvironment environment, CWnd* parent = nullptr);
    ~CTabSavePropsDlg() override;

    // Selects the stored type and quality (fromUser false, the tray's Settings command
    // reloads this way) or stores the type chosen in the combo box (fromUser true);
    // then shows the quality controls for JPEG only.
    void ApplyImageType(bool fromUser);
    // Check box 1020 ("Also save a screenshot locally in the directory:"). The General
    // page has a 1020 of its own, so the main dialog asks this page directly.
    bool IsLocalCopyChecked() const;

    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    int m_radioIndex = 0;   // 0 upload, 1 clipboard, -1 neither (bits without 1 and 2)
    CComboBox m_imageType;  // 1027
    CSliderCtrl m_quality;  // 1028

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;

private:
    void OnStorageRadio(int index);
    void OnLocalCopy();
    void OnChooseFolder();
    void OnFolderEditChange();
    void OnQualityCustomDraw();

    SettingsPageEnvironment m_env;
    UniqueBrush m_sliderBrush;   // white, for the slider's background
};
