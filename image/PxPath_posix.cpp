#include "image/PxPath.h"

#ifndef _WIN32
FILE* PxOpenFile(const PxPathChar* path, const char* mode) {
    if (!path || !mode) return nullptr;
    return std::fopen(path, mode);
}

bool PxRemoveFile(const PxPathChar* path) { return path && std::remove(path) == 0; }
#endif
