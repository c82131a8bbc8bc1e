#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "image/PxImage.h"

// The silent-mode ("Game mode") switch of the settings window: two pictures, the one
// shown and where it was last drawn, so that a click can be tested against it.
class GameModeSwitch {
public:
    GameModeSwitch();   // loads PNG resources 196 (on) and 200 (off)

    void Select(bool on) { m_current = on ? &m_on : &m_off; }
    // Draws the current picture at its natural size with its top-left at (x, y).
    void Draw(HDC dc, int x, int y);
    // Strictly inside the picture as last drawn (edges excluded).
    bool Hit(int x, int y) const;

    PxImage m_on;
    PxImage m_off;
    PxImage* m_current;
    int m_x = 0;
    int m_y = 0;
};

// Turns silent mode over and sends its event: "Set Game Mode" / "Unset Game Mode"
// (category "Settings") from the switch, the same with " in Tray" (category
// "Application") from the tray menu.
void ToggleSilentMode(bool fromTray,
                      const std::function<void(const std::wstring& category, const std::wstring& action,
                                               const std::wstring& label)>& postEvent);
