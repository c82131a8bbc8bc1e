#pragma once
// Windows only: clipboard text (CF_UNICODETEXT). The clipboard is opened for an owner
// window on the calling thread, which must be that window's thread (the UI thread).
#include <windows.h>

#include <string>

// The window that opens the clipboard for SetClipboardText(text): the main window of
// the class layer once it exists, a hidden window in tests. Null opens the clipboard
// for no window (the text is still set, but the owner is the task).
void SetClipboardOwnerWindow(HWND owner);
HWND GetClipboardOwnerWindow();

// Replaces the clipboard's contents with the text (with its terminating null). When
// the clipboard cannot be opened nothing changes. The clipboard is closed again on
// every path once it was opened. Callers may ignore the result.
bool SetClipboardText(HWND owner, const std::wstring& text);
bool SetClipboardText(const std::wstring& text);

// The clipboard's CF_UNICODETEXT up to its first null character; false when there is
// none or the clipboard cannot be opened.
bool GetClipboardText(HWND owner, std::wstring& text);
