#pragma once
#include <cstdint>

// Format codes: saved in settings and passed by callers as plain numbers.
enum PxImageFormatCode : uint32_t {
    PxFormatUnknown = 0,
    PxFormatBMP = 1,
    PxFormatGIF = 2,
    PxFormatJPG = 3,
    PxFormatPNG = 4,
    PxFormatICO = 5,
    PxFormatTGA = 6,
    PxFormatPCX = 7,
    PxFormatWBMP = 8,
    PxFormatJP2 = 9,
    PxFormatJPC = 10,
    PxFormatPGX = 11,
    PxFormatPNM = 12,
    PxFormatRAS = 13,
    PxMaxFormats = 14
};
