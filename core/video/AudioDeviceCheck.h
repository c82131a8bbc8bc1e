#pragma once
#include <cstdint>
#include <string>

#include "core/video/AudioCapture.h"

// A working source's capture format, in short.
struct CvxAudioFormatSummary {
    uint32_t sampleRate = 0;
    int32_t channels = 0;
    int32_t bitsPerSample = 0;
};

// Opens system sound and the microphone as a recording would, one after the other on a
// short thread each, and compares their formats with the writer's rule. The text is
// empty when everything works and matches; otherwise "A-<code>-<hr>" for a sound
// failure, "/M-<code>-<hr>" for a microphone failure, or the mismatch tags. Uses only
// its own state, so it may run while a recording is going on.
void CvxCheckAudioDevices(bool& soundOk, bool& micOk, bool& formatsMatch, std::string& text,
                          CvxAudioFormatSummary& micSummary, CvxAudioFormatSummary& soundSummary,
                          const AudioBackendFactory& backend = DefaultAudioBackendFactory());

// "<code>-<hr as a signed decimal with six decimals>", as in the check's text.
std::string AudioFailureCode(int code, int32_t hr);
