#pragma once
#include <functional>
#include <optional>
#include <vector>

#include "app/KeyPressReader.h"
#include "settings/HotkeyCombination.h"
#include "settings/HotkeySet.h"

// The process-wide hotkey component: the live HotkeySet and its mutex, the eight slot
// handlers and the poller thread. Hotkeys are polled, not registered: every 10 ms the
// poller copies the set under the mutex, finds the longest fully held combination among
// the polled slots and runs that slot's handler on the poller thread, once per press.
//
// Threads: the poller runs the handlers; the UI thread calls the getters, setters and
// EnableHandlers/DisableHandlers; the region editor calls GetDrawModeHotkey. Lock order:
// the hotkey mutex, then the settings mutex (the setters save through the settings while
// holding it); nothing takes them the other way round.
namespace HotkeysManager {

using Handler = std::function<void()>;

// Loads the eight combinations from the settings and starts the poller on a detached
// thread that runs for the rest of the process (Windows: GetAsyncKeyState, whose
// "pressed since" bit keeps a press that a late pass would miss; see KeyPressReader).
// Call once, after the settings are loaded.
void Start();
// The same with another keyboard (tests); false when the poller already runs or no
// thread could be made.
bool StartWith(KeyReadFunction readKey);
// Replaces the live set (no lock: only before the poller runs, and from tests).
void LoadCombinations(const HotkeySet& set);

HotkeyCombination GetFullScreenshotHotkey();
HotkeyCombination GetRegionScreenshotHotkey();
HotkeyCombination GetActiveWindowScreenshotHotkey();
HotkeyCombination GetDrawModeHotkey();
HotkeyCombination GetVideoRecordingHotkey();
// A copy of the whole live set.
HotkeySet GetHotkeys();

// Store the combination in its slot, then hand the whole set to the settings (saved).
void SetFullScreenshotHotkey(const HotkeyCombination& combination);
void SetRegionScreenshotHotkey(const HotkeyCombination& combination);
void SetActiveWindowScreenshotHotkey(const HotkeyCombination& combination);
void SetDrawModeHotkey(const HotkeyCombination& combination);
void SetVideoRecordingHotkey(const HotkeyCombination& combination);
// The two-button gestures: slot 2 becomes {1, 2} (slot 7 {17, 16, 1, 2}) when on, empty
// when off; the option goes to the settings, the set itself is not handed over.
void SetUseMouseForRegionScreenshot(bool on);
void SetUseMouseForVideoRecording(bool on);

// True when the combination equals that of any of the eight slots (the one being edited
// included).
bool IsCombinationInUse(const HotkeyCombination& combination);

// Replaces a slot's handler. Taken under the mutex, and the poller copies the handler
// under it, so a replacement never overlaps a call's start of the same slot.
void SetHandler(HotkeySlot slot, Handler handler);
// Handlers fire only while enabled (the hotkey capture dialog disables them).
void EnableHandlers();
void DisableHandlers();
bool AreHandlersEnabled();

// The slots that the poller tests, in this order: 0, 1, 2, 3, 6, 7 (never the draw-mode
// slot 4, which the region editor polls itself, nor 5).
std::vector<HotkeySlot> GetPollCandidates(const HotkeySet& set);
// The held candidate with the most keys; between equal key counts the earlier one.
// Every key of every non-empty candidate is queried.
std::optional<HotkeySlot> FindPressedCombination(const HotkeySet& set, const std::vector<HotkeySlot>& candidates,
                                                 const KeyDownFunction& isKeyDown);

// One pass of the poller without side effects: `latch` is cleared when no polled
// combination is held, and set when a slot fires. Returns the slot whose handler must
// run now: one is held, handlers are enabled and the latch was clear.
std::optional<HotkeySlot> PollPass(const HotkeySet& set, const KeyDownFunction& isKeyDown, bool handlersEnabled,
                                   bool& latch);

// One pass against the live state: copies the set under the mutex, runs PollPass with
// the process-wide latch, logs "Hotkey: <slot>" and calls the slot's handler on the
// calling thread. Returns the slot that fired. The poller thread calls it every 10 ms.
std::optional<HotkeySlot> RunPollPass(const KeyDownFunction& isKeyDown);

}  // namespace HotkeysManager
