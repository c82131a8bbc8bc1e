#pragma once
// Opening and removing files by the platform's own kind of path (wide on Windows,
// UTF-8 elsewhere). Internal to the image library.
#include <cstdio>

#include "image/PxCompat.h"

FILE* PxOpenFile(const PxPathChar* path, const char* mode);
bool PxRemoveFile(const PxPathChar* path);
