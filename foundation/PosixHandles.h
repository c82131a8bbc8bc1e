#pragma once
// POSIX only: owned file descriptors and directory streams.
#include <dirent.h>
#include <unistd.h>

#include "foundation/UniqueResource.h"

struct FdTraits {
    using Handle = int;
    static int Empty() { return -1; }
    static bool IsValid(int fd) { return fd >= 0; }
    static void Free(int fd) { ::close(fd); }
};
// Closes with close(); -1 is empty.
using UniqueFd = UniqueResource<FdTraits>;

struct DirTraits {
    using Handle = DIR*;
    static DIR* Empty() { return nullptr; }
    static bool IsValid(DIR* dir) { return dir != nullptr; }
    static void Free(DIR* dir) { ::closedir(dir); }
};
// Closes an opendir() stream with closedir().
using UniqueDir = UniqueResource<DirTraits>;
