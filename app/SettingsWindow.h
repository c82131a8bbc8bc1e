#pragma once
// Windows only: the settings side of the main dialog.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/GameModeSwitch.h"
#include "app/HelpTooltip.h"
#include "app/SettingsPages.h"
#include "classlib/TabCtrl.h"
#include "image/PxImage.h"

class CDialog;

// The main dialog as the settings window: the four tabs and their pages, the control
// lookup across them, filling the controls from the settings, the silent-mode switch,
// the help icon and its tooltip, and what OK and Close check and reload. UI thread only.
class SettingsWindow {
public:
    // What the settings window needs of the rest of the program.
    struct Services {
        std::function<void(const std::wstring& category, const std::wstring& action, const std::wstring& label)>
            postEvent;
        // A message box; null: MessageBoxW.
        std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)> messageBox;
        // True while a recording is active.
        std::function<bool()> recordingActive;
        // Runs the hotkey capture dialog (null: CHotkeysReaderDlg).
        std::function<INT_PTR(std::vector<int>& keys)> runHotkeyDialog;
        // Makes a page; null: no pages.
        SettingsPages::Maker makePage;
    };

    // `window` is the main dialog (not owned; outlives this object).
    SettingsWindow(CDialog& window, Services services);
    SettingsWindow(const SettingsWindow&) = delete;
    SettingsWindow& operator=(const SettingsWindow&) = delete;

    // Makes the four pages as children of the window.
    void CreatePages();
    // The tooltip of the help control (string 156).
    void CreateHelpTooltip();

    // Rebuilds the four tabs and shows page `index`.
    void BuildTabs(int index);
    // Shows page `index` (0-3), hides the others and selects its tab.
    void ShowTab(int index);
    // The tab control chose another tab.
    void OnTabChanged();
    // The control `id` of the General, Save, Editor or Video page, first hit in that
    // order, else the window's own; null when none has it.
    HWND FindDlgItem(int id) const;

    // Fills the pages' controls from the settings: the hotkey texts and the check boxes;
    // at initialisation also the two folder edits and the Save page's local-file box.
    void FillPageControls(bool initial);
    // Loads every page and the window itself from their variables (UpdateData(FALSE)).
    void LoadPages();
    void SavePages();
    // Shows silent mode: the on/off labels, the boxes it disables and the switch.
    void UpdateGameModeControls();

    // WM_PAINT; an iconic window shows `icon`.
    void Paint(HICON icon);
    // The help control paints over the window: it shows the icon itself.
    void DrawHelpIcon(const DRAWITEMSTRUCT* item);
    // NM_CUSTOMDRAW of the switch's place: the switch's picture instead of a check box.
    LRESULT DrawSwitch(NMCUSTOMDRAW* draw);
    // A click at `point`: on the switch it turns silent mode over. True when it did.
    bool ClickSwitch(POINT point);

    // OK: saves the pages; false (after a warning) when the screenshots folder that the
    // Save page asks for cannot be had, true when the window may hide.
    bool ConfirmOk();
    // Close: the pages and the two folder edits show the settings again.
    void ReloadAfterClose();
    // The tray's Settings: the Save page shows the stored image type and quality again.
    void ReloadImageType();

    CTabCtrl& Tabs() { return m_tabCtrl; }
    const SettingsPages& Pages() const { return m_pages; }
    HelpTooltip& HelpTip() { return m_helpTip; }

private:
    // The environment of the pages: the main dialog's events and message boxes, the
    // hotkey capture and the recording state.
    SettingsPageEnvironment MakePageEnvironment();

    CDialog& m_window;
    Services m_services;
    CTabCtrl m_tabCtrl;
    SettingsPages m_pages;
    GameModeSwitch m_gameModeSwitch;   // the silent-mode switch's pictures
    PxImage m_helpIcon;                // PNG 201, drawn over the help control
    HelpTooltip m_helpTip;
    bool m_capturingHotkey = false;    // the capture dialog's loop runs inside a page's
};
