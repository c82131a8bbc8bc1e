#pragma once
#include <map>
#include <string>

// Display names of the virtual-key codes that a hotkey may use: 101 entries, built
// before main and never changed, so any thread may read it without a lock. Mouse
// buttons, Escape, Caps Lock, the keypad digits and punctuation have no name.
extern const std::map<int, std::wstring> g_keyNames;

// The code's name, or "" when it has none.
std::wstring GetKeyName(int virtualKey);

bool IsKnownKey(int virtualKey);
