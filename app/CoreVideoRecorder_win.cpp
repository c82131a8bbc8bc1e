#include "app/CoreVideoRecorder_win.h"

#include <windows.h>

#include <cstdlib>

#include "core/Cvx.h"
#include "core/video/AudioDeviceCheck.h"
#include "foundation/Log.h"

AudioDeviceStatus CoreVideoRecorder::CheckAudioDevices() {
    AudioDeviceStatus status;
    CvxAudioFormatSummary mic, sound;
    CvxCheckAudioDevices(status.soundOk, status.micOk, status.formatsMatch, status.text, mic, sound);
    return status;
}

void CoreVideoRecorder::RecordAsync(const RecorderRequest& r, RecorderResults& out) {
    m_path = r.path;
    RECT area = {r.area.left, r.area.top, r.area.right, r.area.bottom};
    CvxRecordVideoAsync(m_path.c_str(), r.game, r.maxWidth, r.maxHeight, r.recordSound, r.recordMicrophone,
                        &r.control->stop, &r.control->pause, &r.control->cancel, &out.finished, &out.measuredFps,
                        &out.recordedMs, out.outputSize, out.cpuInfo, &out.errorCode, &out.errorHResult,
                        &out.errorText, area);
}

void CoreVideoRecorder::FreeErrorText(char* text) { free(text); }

void CoreVideoRecorder::DiscardOutput(const std::wstring& path) {
    // The writer may still hold the file for a moment after it reported finished.
    DWORD error = 0;
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (DeleteFileW(path.c_str())) return;
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) break;
        Sleep(50);
    }
    Log("RecordVideoSession: a cancelled recording's file stays: %lu\n", error);
}

std::unique_ptr<IVideoRecorder> MakeCoreVideoRecorder() { return std::make_unique<CoreVideoRecorder>(); }
