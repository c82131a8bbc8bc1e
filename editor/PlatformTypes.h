#pragma once
// The few Win32 types that the portable editor code names. On Windows they are the
// system's; in the native build they stand in so the geometry can be tested.
#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>
struct HDC__;
typedef HDC__* HDC;
struct HBITMAP__;
typedef HBITMAP__* HBITMAP;
typedef uint32_t COLORREF;
struct RECT {
    long left, top, right, bottom;
};
#ifndef RGB
#define RGB(r, g, b) \
    (static_cast<COLORREF>(static_cast<uint8_t>(r) | (static_cast<uint16_t>(static_cast<uint8_t>(g)) << 8) | \
                           (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16)))
#endif
#endif
