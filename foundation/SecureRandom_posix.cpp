#ifndef _WIN32
#include "foundation/SecureRandom.h"

#include <sys/random.h>

#include <cerrno>

bool FillSecureRandom(void* buffer, size_t size) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t got = getrandom(bytes, size, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}
#endif
