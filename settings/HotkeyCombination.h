#pragma once
#include <functional>
#include <string>
#include <vector>

// One hotkey: Windows virtual-key codes (1 and 2 are the left and right mouse buttons)
// that must all be held at once, in the order in which they were recorded. The order
// matters for equality and for the text, not for detection. Empty: no hotkey.
using HotkeyCombination = std::vector<int>;

// Answers whether one virtual key is down now. The poller passes a function over
// GetAsyncKeyState; tests pass their own.
using KeyDownFunction = std::function<bool(int virtualKey)>;

// True when the combination is not empty and every key in it is down. Every key is
// asked, also after one that is up (no early exit).
bool IsHotkeyPressed(const HotkeyCombination& combination, const KeyDownFunction& isKeyDown);

#ifdef _WIN32
// The same against the live keyboard and mouse (GetAsyncKeyState, high bit).
bool IsHotkeyPressed(const HotkeyCombination& combination);
#endif

// Same length and the same codes in the same order.
bool HotkeyCombinationsEqual(const HotkeyCombination& a, const HotkeyCombination& b);

// The key names joined by " + " ("Ctrl + Shift + PrtScr"). A code without a name ends
// the text there, leaving the separator written for it ({17, 1} gives "Ctrl + ").
std::wstring HotkeyToText(const HotkeyCombination& combination);
