#pragma once
// Windows only: the capture core's screen recorder behind the recording thread's
// interface.
#include <memory>
#include <string>

#include "app/RecordVideoSession.h"

class CoreVideoRecorder : public IVideoRecorder {
public:
    AudioDeviceStatus CheckAudioDevices() override;
    void RecordAsync(const RecorderRequest& request, RecorderResults& out) override;
    // The core hands out no text today; a text it may give is malloc'ed.
    void FreeErrorText(char* text) override;
    // Deletes a cancelled recording's file, waiting a little for the writer to let go.
    void DiscardOutput(const std::wstring& path) override;

private:
    std::wstring m_path;   // stays valid for the whole recording
};

std::unique_ptr<IVideoRecorder> MakeCoreVideoRecorder();
