#pragma once
#include "image/PxImage.h"

// ZSoft PCX: run-length coded lines of 1 to 4 planes, packed 1/2/4/8-bit or
// planar; header and 768-byte palettes. Written as version 5.
class PxImagePCX : public PxImage {
public:
    PxImagePCX() : PxImage(PxFormatPCX) {}
    bool Decode(PxFile* stream);
    bool Encode(PxFile* stream);
};
