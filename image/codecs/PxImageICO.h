#pragma once
#include "image/PxImage.h"

// Windows icon and cursor files: a directory of images, each a DIB (colour rows
// plus a 1-bit AND mask) or, in newer icons, a whole PNG file.
class PxImageICO : public PxImage {
public:
    PxImageICO() : PxImage(PxFormatICO) {}
    bool Decode(PxFile* stream);
    bool Encode(PxFile* stream);
};
