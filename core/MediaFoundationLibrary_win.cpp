#include "core/MediaFoundationLibrary.h"

#include "foundation/SystemLibrary.h"

const MediaFoundationFunctions& MediaFoundationLibrary() {
    static const MediaFoundationFunctions& functions =
        LoadLibraryForProcess<MediaFoundationFunctions>("mfplat.dll", [](auto find, MediaFoundationFunctions& f) {
            find("MFStartup", f.MFStartup);
            find("MFShutdown", f.MFShutdown);
            find("MFCreateAttributes", f.MFCreateAttributes);
            find("MFCreateMediaType", f.MFCreateMediaType);
            find("MFCreateMemoryBuffer", f.MFCreateMemoryBuffer);
            find("MFCreateSample", f.MFCreateSample);
        });
    return functions;
}
