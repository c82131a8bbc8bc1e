#pragma once
// Windows only: the tracking tooltip over the settings window's help control.
#include <windows.h>
#include <commctrl.h>

#include <string>

// A tracking tooltip shown while the cursor rests over one control of a window (tested
// once a second) or after a click on it. UI thread only.
class HelpTooltip {
public:
    HelpTooltip() = default;
    HelpTooltip(const HelpTooltip&) = delete;
    HelpTooltip& operator=(const HelpTooltip&) = delete;

    // The tooltip of control `controlId` of `owner` with `text`; nothing when the
    // control or the tooltip window cannot be had.
    void Create(HWND owner, int controlId, std::wstring text);
    // The hover test: shown while the cursor is over the control and the window may be
    // shown (`windowShown`), hidden otherwise.
    void OnHoverTimer(bool windowShown);
    // Shows the tooltip now (a click on the control).
    void Show();
    // 1 while the tooltip is shown, 0 otherwise.
    int Shown() const { return m_shown; }

private:
    void Activate(bool on);

    HWND m_owner = nullptr;     // not owned
    int m_controlId = 0;
    HWND m_tooltip = nullptr;   // destroyed with its owner window
    TOOLINFOW m_toolInfo = {};
    int m_shown = 0;
    std::wstring m_text;        // the tool record points at it
};
