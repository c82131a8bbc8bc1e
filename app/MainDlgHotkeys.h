#pragma once
// Windows only: the main dialog's hotkey handlers.
#include <windows.h>

#include <atomic>

class FullScreenGameTracker;

// Installs the handlers of slots 0, 1, 2, 7, 3 and 6 (in this order) with
// HotkeysManager::SetHandler. They run on the hotkey poller thread, read the dialog's
// capture-busy flag and full-screen tracker (which must outlive the poller: the main
// dialog lives for the whole run), send one analytics event and post, or for the
// full-screen and window shots send, one private message to `dialog`.
void InstallMainDialogHotkeyHandlers(HWND dialog, const std::atomic<bool>* captureBusy,
                                     const FullScreenGameTracker* tracker);
