#pragma once
#include "image/PxImage.h"

// Windows bitmap files: "BM" file header, BITMAPINFOHEADER (OS/2 1.x and 2.x
// headers are read too), palette, rows; RLE4, RLE8 and 16/32-bit bitfields.
class PxImageBMP : public PxImage {
public:
    PxImageBMP() : PxImage(PxFormatBMP) {}
    bool Decode(PxFile* stream);
    bool Encode(PxFile* stream);

protected:
    // Reads any accepted info header into a BITMAPINFOHEADER; false when it cannot.
    bool DibReadBitmapInfo(PxFile* stream, BITMAPINFOHEADER* header, bool* os2Core);
};
