#pragma once
#include "image/PxImage.h"

// Truevision TGA: colour-mapped, true-colour and grey images, uncompressed or
// run-length coded (types 1-3 and 9-11), 8, 15, 16, 24 and 32 bits; written
// uncompressed at 8, 24 or 32 bits, bottom-up.
class PxImageTGA : public PxImage {
public:
    PxImageTGA() : PxImage(PxFormatTGA) {}
    bool Decode(PxFile* stream);
    bool Encode(PxFile* stream);
};
