#pragma once
#include "image/PxImage.h"

// PNG through libpng over the library's byte streams. The codec option word for
// PxFormatPNG is 1 for Adam7-interlaced files (set by Decode, honoured by Encode).
class PxImagePNG : public PxImage {
public:
    PxImagePNG() : PxImage(PxFormatPNG) {}
    bool Decode(PxFile* stream);
    bool Encode(PxFile* stream);

    // Widens a row of 2-bit pixels to 4 bits in place, from the last pixel back.
    static void Expand2BppTo4Bpp(uint8_t* row, uint32_t width);

private:
    struct DecodeState;
    struct EncodeState;
    // Hold the setjmp; nothing with a destructor lives in their frames.
    bool DecodeRows(DecodeState& s);
    bool EncodeRows(EncodeState& s);
};
