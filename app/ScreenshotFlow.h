#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "editor/SelectRegionLogic.h"

// Where a finished screenshot goes, as plain logic over what the main dialog does: the
// storage setting's bits (1 picture on the clipboard, 2 upload, 4 local file) and the
// region editor's action decide whether it becomes a file, a clipboard picture, an
// upload or several of these. The picture itself stays with the caller: the actions
// below close over it. UI thread only.
class ScreenshotFlow {
public:
    // The region editor's answer (SelectRegionAction); with kActionFile the name is
    // the path chosen in the editor.
    static constexpr int kActionNone = ::kActionNone;
    static constexpr int kActionUpload = ::kActionUpload;
    static constexpr int kActionClipboard = ::kActionClipboard;
    static constexpr int kActionFile = ::kActionFile;

    // String ids of the balloons.
    static constexpr unsigned kTextScreenshotFailed = 137;
    static constexpr unsigned kTextFolderFailed = 138;
    static constexpr unsigned kTextUploadBusy = 400;

    struct Actions {
        std::function<int()> storageType;
        std::function<int()> imageTypeId;        // 0 PNG, 1 JPEG
        std::function<std::wstring()> screenshotsFolder;
        std::function<std::wstring()> appTmpFolder;
        // An upload is running (only one runs at a time).
        std::function<bool()> uploadRunning;
        std::function<void()> playSound;
        std::function<bool(const std::wstring& path)> directoryExists;
        // Creates the folder and its parents; true when it exists afterwards.
        std::function<bool(const std::wstring& path)> createDirectory;
        std::function<bool(const std::wstring& path)> fileExists;
        // Encodes the picture into the file (with the configured JPEG quality); false
        // when the file could not be written completely.
        std::function<bool(const std::wstring& path, uint32_t formatCode)> writeImage;
        // Puts the picture on the clipboard and tells the user; false when the clipboard
        // was busy.
        std::function<bool()> copyToClipboard;
        // Starts the upload of the saved file; false when it did not start. Empty while
        // uploads are not part of the program: such a shot is not uploaded.
        std::function<bool(const std::wstring& savedPath)> startUpload;
        std::function<void(const std::wstring& category, const std::wstring& action, const std::wstring& label)>
            postEvent;
        // An error balloon with the string id (posted to the main dialog).
        std::function<void(unsigned stringId)> postError;
        // An information balloon with the string id.
        std::function<void(unsigned stringId)> notify;
    };

    explicit ScreenshotFlow(Actions actions) : m_actions(std::move(actions)) {}

    // The whole decision for one shot: `name` is the default name (or, with action 2,
    // the chosen path). Any exception inside is a failed screenshot: event
    // ("Screenshot", "Failed", "") and balloon 137. Returns true when the shot was
    // delivered everywhere it was meant to go.
    bool Process(bool fromEditor, const std::wstring& name, int action) noexcept;

    // Writes the file: `name` is a full path (it contains '\' or '/') or a name for
    // `folder`, which is created when missing. A default name never replaces an existing
    // file (" (2)", " (3)"... are added). On failure the error is reported here (folder:
    // event ("Error", "SaveScreenshotFile", "CreateDirectory") and balloon 138; write:
    // event ("Screenshot", "Failed", "") and balloon 137) and false returned.
    bool SaveScreenshotFile(const std::wstring& folder, const std::wstring& name, std::wstring& path);

private:
    bool ProcessUnguarded(bool fromEditor, const std::wstring& name, int action);
    void ReportFailedScreenshot();

    Actions m_actions;
};
