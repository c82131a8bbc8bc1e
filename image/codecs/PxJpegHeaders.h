#pragma once
// libjpeg's headers need <stdio.h> first, and on Windows <windows.h> first (it
// defines boolean and INT32 the same way).
#include <cstddef>
#include <cstdio>
#ifdef _WIN32
#include <windows.h>
#endif
extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}
