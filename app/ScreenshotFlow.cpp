#include "app/ScreenshotFlow.h"

#include <exception>

#include "app/ScreenshotNames.h"
#include "foundation/Log.h"
#include "foundation/Utf.h"
#include "settings/SettingsTypes.h"

bool ScreenshotFlow::Process(bool fromEditor, const std::wstring& name, int action) noexcept {
    try {
        return ProcessUnguarded(fromEditor, name, action);
    } catch (const std::exception& e) {
        Log("ProcessScreenshot: %s\n", e.what());
    } catch (...) {
        Log("ProcessScreenshot: unknown exception\n");
    }
    try {
        ReportFailedScreenshot();
    } catch (...) {
        Log("ProcessScreenshot: the failure could not be reported\n");
    }
    return false;
}

void ScreenshotFlow::ReportFailedScreenshot() {
    m_actions.postEvent(L"Screenshot", L"Failed", L"");
    m_actions.postError(kTextScreenshotFailed);
}

bool ScreenshotFlow::ProcessUnguarded(bool fromEditor, const std::wstring& name, int action) {
    const int storage = m_actions.storageType();
    bool upload = (storage & kStorageServer) != 0;
    if (fromEditor && action >= 0) upload = action == kActionUpload;
    const bool local = (storage & kStorageLocal) != 0;
    const bool clipboard = ((storage & kStorageClipboard) != 0 && action < 0) || action == kActionClipboard;

    if (m_actions.uploadRunning()) {
        // Only one upload runs at a time. The shot still goes to the clipboard and the
        // screenshots folder; only its upload is left out, and the user is told so.
        Log("ProcessScreenshot: an upload is running\n");
        if (upload) {
            upload = false;
            m_actions.postError(kTextUploadBusy);
        }
        if (!local && !clipboard && action != kActionFile) return false;
    }

    m_actions.playSound();

    std::wstring savedPath;
    if (local || upload || action == kActionFile) {
        std::wstring folder;
        if (action != kActionFile) folder = local ? m_actions.screenshotsFolder() : m_actions.appTmpFolder();
        if (!SaveScreenshotFile(folder, name, savedPath)) return false;
    }

    bool uploadStarted = true;
    if (upload) {
        if (m_actions.startUpload) {
            uploadStarted = m_actions.startUpload(savedPath);
        } else {
            Log("ProcessScreenshot: uploads are not available in this build\n");
            uploadStarted = false;
        }
    }

    // After the link: a picture replaces it on the clipboard.
    if (clipboard) m_actions.copyToClipboard();

    if (!uploadStarted) return false;
    m_actions.postEvent(L"Screenshot", L"Finished", L"");
    return true;
}

bool ScreenshotFlow::SaveScreenshotFile(const std::wstring& folder, const std::wstring& name, std::wstring& path) {
    path.clear();
    const bool fullPath = IsFullScreenshotPath(name);
    if (!fullPath && !m_actions.directoryExists(folder) && !m_actions.createDirectory(folder)) {
        Log("SaveScreenshotFile: cannot create %s\n", WideToUtf8(folder).c_str());
        m_actions.postEvent(L"Error", L"SaveScreenshotFile", L"CreateDirectory");
        m_actions.postError(kTextFolderFailed);
        return false;
    }
    ScreenshotFileFormat format = ChooseScreenshotFormat(name, m_actions.imageTypeId());
    std::wstring target;
    if (fullPath) {
        // A path chosen in the editor's save dialog, which asked before replacing a file.
        target = name + format.appendedExtension;
    } else {
        std::wstring stem = folder + L"\\" + name;
        std::wstring extension = format.appendedExtension;
        if (extension.empty()) {
            // The name carries its own extension: keep it at the end.
            std::wstring own = GetFileExtensionFromPath(name);
            stem = stem.substr(0, stem.size() - own.size() - 1);
            extension = L"." + own;
        }
        target = MakeUniqueFilePath(stem, extension, m_actions.fileExists);
    }
    if (target.empty() || !m_actions.writeImage(target, format.formatCode)) {
        Log("SaveScreenshotFile: cannot write %s\n", WideToUtf8(target).c_str());
        ReportFailedScreenshot();
        return false;
    }
    Log("Screenshot saved: %s\n", WideToUtf8(target).c_str());
    path = target;
    return true;
}
