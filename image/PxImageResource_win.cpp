// Decoding straight from an executable's resources.
#include <windows.h>

#include "image/PxImage.h"
#include "image/PxMemFile.h"

bool PxImage::LoadResource(HRSRC__* resource, uint32_t formatCode, HINSTANCE__* module) {
    if (!resource) {
        SetError("Unable to load resource!");
        return false;
    }
    DWORD size = ::SizeofResource(module, resource);
    HGLOBAL handle = ::LoadResource(module, resource);
    if (!handle) {
        SetError("Unable to load resource!");
        return false;
    }
    void* bytes = ::LockResource(handle);
    if (!bytes) return false;
    // The stream reads the locked bytes in place; it never writes or frees them.
    PxMemFile stream(static_cast<uint8_t*>(bytes), size);
    return Decode(&stream, formatCode);
}
