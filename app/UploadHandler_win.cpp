#include "app/UploadHandler.h"

#include "app/MainDlgMessages.h"
#include "app/UploadLinks.h"
#include "foundation/StringTable.h"

void UploadHandler::OnProgress(int percent) {
    PostMessageW(m_target, WM_APP_UPLOAD_PROGRESS, static_cast<WPARAM>(percent), static_cast<LPARAM>(m_sequence));
}

void UploadHandler::OnFinished(bool ok) {
    PostMessageW(m_target, WM_APP_UPLOAD_FINISHED, ok ? 1 : 0, static_cast<LPARAM>(m_sequence));
    m_finished = true;
}

void UploadHandler::OnError(int code) {
    StringTable& strings = StringTable::Instance();
    auto* record = new UploadError;
    record->text = UploadErrorText(code, strings.GetString(211), strings.GetString(212), strings.GetString(179),
                                   strings.GetString(133));
    record->sequence = m_sequence;
    if (!PostMessageW(m_target, WM_APP_ERROR, 0, reinterpret_cast<LPARAM>(record))) delete record;
    m_finished = true;
}

void UploadHandler::OnSyncData(ServerSyncData* data) {
    if (!PostMessageW(m_target, WM_APP_SERVER_SYNC_DATA, 0, reinterpret_cast<LPARAM>(data))) delete data;
}

void VideoUploadHandler::OnFinished(bool ok) {
    UploadHandler::OnFinished(ok);
    if (IsInFolder(m_filePath, m_appTmpFolder)) DeleteFileW(m_filePath.c_str());
}
