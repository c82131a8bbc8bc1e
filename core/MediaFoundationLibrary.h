#pragma once
// Windows only: the Media Foundation platform (mfplat.dll), loaded when the core first
// starts it rather than imported, so that a start that only hands its command line to
// the running program never maps it. Loaded on the first call (thread-safe) and kept for
// the process; a null entry is a missing library or function (logged once).
#include <windows.h>
#include <mfapi.h>

struct MediaFoundationFunctions {
    decltype(&::MFStartup) MFStartup = nullptr;
    decltype(&::MFShutdown) MFShutdown = nullptr;
    decltype(&::MFCreateAttributes) MFCreateAttributes = nullptr;
    decltype(&::MFCreateMediaType) MFCreateMediaType = nullptr;
    decltype(&::MFCreateMemoryBuffer) MFCreateMemoryBuffer = nullptr;
    decltype(&::MFCreateSample) MFCreateSample = nullptr;
};
const MediaFoundationFunctions& MediaFoundationLibrary();
