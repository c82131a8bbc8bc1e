#pragma once
// Windows only: the main dialog's screenshot requests.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "app/RegionSelection.h"
#include "image/PxImage.h"

class CWnd;
class UploadCenter;

// The screenshot requests (full screen, active window, region): the capture, the region
// editor over the frozen screen, and the hand-off of the finished shot to ScreenshotFlow
// (file, clipboard picture, upload). Also the region editor in video mode for the
// recordings. UI thread only.
class ScreenshotRequests {
public:
    // What the screenshots need of the main dialog.
    struct Host {
        CWnd* window = nullptr;   // the main dialog: the messages' target, the clipboard's owner; not owned
        std::function<void(const std::wstring& category, const std::wstring& action, const std::wstring& label)>
            postEvent;
        std::wstring appTmpFolder;
        // Runs the region editor modally (null: RunSelectRegionDialog).
        std::function<RegionEditorOutcome(const RegionEditorRequest& request)> runRegionEditor;
        // A region selection or a recording runs; shared with the recordings and the
        // hotkey handlers. Not owned.
        std::atomic<bool>* captureBusy = nullptr;
        UploadCenter* uploads = nullptr;   // not owned
        // A tray balloon (the dialog's ShowNotification).
        std::function<void(const std::wstring& title, const std::wstring& text, bool isError)> notify;
    };

    explicit ScreenshotRequests(Host host);

    // WM_APP_FULL_SCREENSHOT, WM_APP_WINDOW_SCREENSHOT and WM_APP_REGION_SCREENSHOT;
    // false when `msg` is none of them.
    bool HandleMessage(UINT msg);

    // Sends a finished shot where the storage setting and the editor's action say (file,
    // clipboard picture, upload); reports its failures itself. True when delivered.
    bool ProcessScreenshot(bool fromEditor, PxImage& image, const std::wstring& name, int action);
    // The region editor in screenshot mode: false when cancelled or failed (`failed`
    // tells which); otherwise the annotated picture, the editor's action (-1 without
    // the editor) and, for action 2, `name` replaced by the chosen path.
    bool RunRegionSelection(const PxImage& screen, std::wstring& name, PxImage& result, int& action, bool& failed);
    // The region editor in video mode: false when cancelled or failed; otherwise the
    // selected rectangle in screen coordinates.
    bool RunVideoRegionSelection(const PxImage& screen, RECT& rect);

private:
    void OnFullScreenshot();
    void OnActiveWindowScreenshot();
    void OnRegionScreenshot();
    // A shot that could not be taken: the event and the error balloon.
    void ReportFailure();
    RegionEditorOutcome RunEditor(const RegionEditorRequest& request);

    Host m_host;
};
