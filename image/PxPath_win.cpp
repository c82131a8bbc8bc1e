#include <stdio.h>
#include <wchar.h>

#include "image/PxPath.h"

FILE* PxOpenFile(const PxPathChar* path, const char* mode) {
    if (!path || !mode) return nullptr;
    wchar_t wideMode[8] = {0};
    for (int i = 0; i < 7 && mode[i]; ++i) wideMode[i] = static_cast<wchar_t>(mode[i]);
    return _wfopen(path, wideMode);
}

bool PxRemoveFile(const PxPathChar* path) { return path && _wremove(path) == 0; }
