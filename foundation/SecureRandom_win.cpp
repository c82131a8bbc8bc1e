#include "foundation/SecureRandom.h"

#include <windows.h>
#include <ntsecapi.h>

bool FillSecureRandom(void* buffer, size_t size) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ULONG chunk = size > 0x10000 ? 0x10000 : static_cast<ULONG>(size);
        if (!RtlGenRandom(bytes, chunk)) return false;
        bytes += chunk;
        size -= chunk;
    }
    return true;
}
