#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "core/video/AudioDeviceCheck.h"
#include "settings/HotkeySet.h"

// What the audio-device test reports to the Video page.
struct AudioDeviceReport {
    bool soundOk = false;
    bool micOk = false;
    bool formatsMatch = false;
    std::string text;
    CvxAudioFormatSummary mic;
    CvxAudioFormatSummary sound;
};

// What the settings pages ask of the rest of the process: analytics, message boxes, the
// folder chooser, the shell, the audio-device test and the hotkey capture dialog. The
// program uses Default() (the main dialog fills in the parts that are its own); tests
// replace single entries to script and watch the pages.
struct SettingsPageEnvironment {
    // An analytics event without value.
    std::function<void(const std::wstring& category, const std::wstring& action, const std::wstring& label)>
        postEvent;
    // MessageBoxW.
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)> messageBox;
    // The shell's folder chooser with `title`, opened on `initialFolder`; the chosen
    // folder, or "" after Cancel.
    std::function<std::wstring(HWND owner, const std::wstring& title, const std::wstring& initialFolder)>
        browseForFolder;
    // ShellExecuteW(owner, verb, file, parameters, no folder, show).
    std::function<void(HWND owner, const std::wstring& verb, const std::wstring& file,
                       const std::wstring& parameters, int show)>
        shellExecute;
    // The audio-device test (CvxCheckAudioDevices on the calling thread).
    std::function<AudioDeviceReport()> checkAudioDevices;
    // True while a recording is active: the device test is then skipped. Null: never.
    std::function<bool()> recordingActive;
    // Runs the hotkey capture dialog for the hotkey field `edit` of `slot` and applies
    // what it recorded (the in-use test and its message, the setter, the field's text
    // and the event with `action`). Provided by the main dialog; null: nothing happens.
    std::function<void(HWND edit, HotkeySlot slot, const std::wstring& action)> captureHotkey;

    // Analytics, MessageBoxW, SHBrowseForFolderW, ShellExecuteW and the real device
    // test; no recording check and no hotkey capture.
    static SettingsPageEnvironment Default();
};

// The "..." button beside a page's folder field `editId`: the event with `action`, then
// the folder chooser opened on the field's text; a chosen folder is stored and shown.
void ChoosePageFolder(const SettingsPageEnvironment& env, HWND page, int editId, const std::wstring& action,
                      const std::function<void(const std::wstring& folder)>& store);
// A folder field shows only the stored folder: what is typed into it is put back.
void KeepPageFolderShown(HWND page, int editId, const std::wstring& stored);
