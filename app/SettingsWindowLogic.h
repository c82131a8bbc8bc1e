#pragma once
#include <string>

#include "settings/HotkeyCombination.h"

// The decisions of the settings window that need no window: what a key message does to
// the hotkey being recorded, whether a recorded combination may be applied, whether a
// point hits the silent-mode switch and whether OK may hide the window.

// Key messages as the capture dialog sees them (the Windows message numbers).
namespace KeyMessage {
constexpr unsigned kKeyDown = 0x0100;
constexpr unsigned kKeyUp = 0x0101;
constexpr unsigned kSysKeyDown = 0x0104;
constexpr unsigned kSysKeyUp = 0x0105;
}  // namespace KeyMessage

// The capture dialog's recording: the keys in the order pressed, without repeats, and
// the text that the dialog's edit shows.
struct HotkeyRecording {
    HotkeyCombination keys;
    std::wstring text;
};

struct RecordStep {
    bool consumed = false;   // the message goes no further
    bool changed = false;    // keys or text changed: the edit shows the new text
};

// One key message (`message`, virtual key `key`) applied to `recording`. Key-downs of
// named keys are recorded (Backspace and Del clear, Enter and Tab are left to the
// dialog, a held key adds nothing); PrintScreen is recorded on its key-up, which still
// goes on to the dialog; everything else is left alone.
RecordStep RecordHotkeyMessage(unsigned message, int key, HotkeyRecording& recording);

// What a page does with a combination recorded for one of its hotkey slots.
enum class HotkeyApply {
    Apply,    // store it, show it, send the event (also when it is the slot's own)
    InUse,    // used by another slot: the message box, nothing changes
};
HotkeyApply DecideHotkeyApply(const HotkeyCombination& recorded, const HotkeyCombination& current,
                              bool inUseSomewhere);

// The switch image drawn with its top-left at (left, top) and the given size: true when
// the point lies strictly inside (the left and top edges and the last column and row
// do not count).
bool SwitchHit(int x, int y, int left, int top, int width, int height);

// OK of the settings window. Without "keep screenshots locally" it hides; with it the
// folder has been created (or found) first, and the window hides only when the path
// now names a directory: a file of that name is no folder to save into.
enum class OkFolderDecision { Hide, Warn };
OkFolderDecision DecideOkFolder(bool keepLocally, int createResult, bool isDirectory);

// "Set <name>" or "Unset <name>": the action of a settings event for a check box.
std::wstring SetOrUnset(bool on, const std::wstring& name);
