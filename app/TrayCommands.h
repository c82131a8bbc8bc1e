#pragma once
// Windows only: what the tray icon's clicks and menu do.
#include <windows.h>

#include <functional>
#include <string>

class CWnd;

// The tray icon's clicks (left: region shot, right: the menu; either stops a recording)
// and the commands of its menu. UI thread only.
class TrayCommands {
public:
    // What the tray needs of the main dialog.
    struct Host {
        CWnd* window = nullptr;   // the main dialog: the menu's owner, the messages' target; not owned
        std::function<void(const std::wstring& category, const std::wstring& action, const std::wstring& label)>
            postEvent;
        // Asks for a file to send; "" after Cancel.
        std::function<std::wstring(HWND owner)> chooseFile;
        std::function<void(const std::wstring& url)> openUrl;
        std::function<bool()> uploadRunning;
        // A recording's frame is up.
        std::function<bool()> recording;
        // Silent mode was turned over: the settings window shows it.
        std::function<void()> silentModeChanged;
        // Opens the settings window.
        std::function<void()> openSettings;
        // Removes the icon and ends the process.
        std::function<void()> exit;
    };

    explicit TrayCommands(Host host);

    // WM_APP_TRAY_NOTIFY with the mouse message.
    void OnNotify(UINT mouse);
    // A command of the tray menu; false when `id` is none of them.
    bool OnCommand(WORD id);

private:
    void CaptureRegion();
    void CaptureFullscreen();
    void CaptureVideo();
    void SendFile();
    void MyCaptures();
    void SilentMode();
    void Settings();
    void Exit();

    Host m_host;
};
