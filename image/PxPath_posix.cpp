#include "image/PxPath.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#ifndef _WIN32
FILE* PxOpenFile(const PxPathChar* path, const char* mode) {
    if (!path || !mode) return nullptr;
    return std::fopen(path, mode);
}

// Only regular files are removed: a failed save to a device (or a pipe) must not
// delete the device node.
bool PxRemoveFile(const PxPathChar* path) {
    struct stat st;
    if (!path || stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return std::remove(path) == 0;
}
#endif
