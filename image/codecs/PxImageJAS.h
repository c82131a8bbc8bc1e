#pragma once
#include <string>

#include "image/PxImage.h"

// The JPEG-2000 family: JP2 (code 9), JPEG-2000 code streams (10), PGX (11),
// PNM (12) and Sun raster (13). Decoding recognises the kind itself, whatever
// code is given; the image gets the code of what was read. Three components of
// one size make a 24-bit image, anything else one grey frame per component.
class PxImageJAS : public PxImage {
public:
    PxImageJAS() : PxImage(PxFormatUnknown) {}
    bool Decode(PxFile* stream, uint32_t formatCode = PxFormatUnknown);
    bool Encode(PxFile* stream, uint32_t formatCode);

    // The rate option of a JPEG quality: "rate=0.900" for 90.
    static std::string RateOption(uint8_t quality);
};
