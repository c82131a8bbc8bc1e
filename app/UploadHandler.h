#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "server/IProgressHandler.h"
#include "server/ServerSyncData.h"

// A heap record of WM_APP_ERROR: the text to show and the upload it belongs to.
struct UploadError {
    std::wstring text;
    unsigned sequence = 0;
};

// The shell's observer of one upload. Called on the upload's worker thread, it only
// posts to the main dialog: WM_APP_UPLOAD_PROGRESS (percent, sequence),
// WM_APP_UPLOAD_FINISHED (ok, sequence), WM_APP_ERROR (0, heap UploadError) and
// WM_APP_SERVER_SYNC_DATA (0, heap ServerSyncData). Every message carries the upload's
// sequence number, so a late message of an upload that was left finds no window.
class UploadHandler : public IProgressHandler, public IServerSyncDataReceiver {
public:
    UploadHandler(HWND target, unsigned sequence) : m_target(target), m_sequence(sequence) {}

    void OnProgress(int percent) override;
    void OnFinished(bool ok) override;
    void OnError(int code) override;
    void OnSyncData(ServerSyncData* data) override;

    unsigned Sequence() const { return m_sequence; }
    bool Finished() const { return m_finished; }

protected:
    HWND m_target;
    unsigned m_sequence;
    std::atomic<bool> m_finished{false};
};

// The observer of a recording's upload: also deletes the recording when it lies in the
// program's tmp folder, whatever the outcome.
class VideoUploadHandler : public UploadHandler {
public:
    VideoUploadHandler(HWND target, unsigned sequence, std::wstring filePath, std::wstring appTmpFolder)
        : UploadHandler(target, sequence), m_filePath(std::move(filePath)), m_appTmpFolder(std::move(appTmpFolder)) {}
    void OnFinished(bool ok) override;

    std::wstring m_filePath;

private:
    std::wstring m_appTmpFolder;
};
