#pragma once
#include <windows.h>

#include <functional>
#include <string>

// What the region editor asks of the rest of the process: analytics, the draw-mode
// hotkey, key state, the virtual screen and the settings it reads and keeps. The program
// fills it in app/ (MakeEditorEnvironment); tests replace entries. Every entry may be left
// empty: the dialog then uses the fallback named beside it (WithFallbacks).
struct SelectRegionEnvironment {
    // One analytics event (category, action, label). Empty: nothing is sent.
    std::function<void(const std::wstring& category, const std::wstring& action, const std::wstring& label)>
        postEvent;
    // Whether the draw-mode hotkey is fully held now. Empty: never held.
    std::function<bool()> isDrawModeHotkeyHeld;
    // Whether a key is down now (the key timer, Shift, Ctrl, the right button). Empty: the
    // key state Windows reports.
    std::function<bool(int virtualKey)> isKeyDown;
    // Optional: one read of an editor key, down now and pressed since the previous read (a
    // press shorter than the key timer's period still counts). Without it the key timer
    // asks isKeyDown.
    struct KeyRead {
        bool down = false;
        bool pressedSince = false;
    };
    std::function<KeyRead(int virtualKey)> readKey;
    // Optional: called once, right after the first paint of the dialog has completed.
    std::function<void()> onFirstPaint;
    // The virtual screen in screen coordinates. Empty: as the system metrics give it.
    std::function<RECT()> virtualScreen;
    // The drawing colour the tools panel starts with (empty: red), and where a colour
    // picked in the colour dialog is kept (empty: nowhere).
    std::function<COLORREF()> drawColor;
    std::function<void(COLORREF)> setDrawColor;
    // The save dialog: the folder it opens in (empty: none), where the folder of a chosen
    // file is kept (empty: nowhere), and the image type id, 1 for JPEG (empty: PNG).
    std::function<std::wstring()> lastSaveFolder;
    std::function<void(const std::wstring&)> setLastSaveFolder;
    std::function<int()> imageTypeId;

    // Windows' own key state (isKeyDown, readKey) and virtual screen; nothing else.
    static SelectRegionEnvironment Default();
    // `environment` with every empty entry but readKey and onFirstPaint set to its fallback.
    static SelectRegionEnvironment WithFallbacks(SelectRegionEnvironment environment);
};
