#pragma once
#include "image/PxImage.h"

// Wireless bitmap, type 0: 1-bit rows top-down, 1 = white; width and height as
// multi-byte integers (7 bits a byte, top bit continues).
class PxImageWBMP : public PxImage {
public:
    PxImageWBMP() : PxImage(PxFormatWBMP) {}
    bool Decode(PxFile* stream);
    bool Encode(PxFile* stream);
};
