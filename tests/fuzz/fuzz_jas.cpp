// Fuzz target: the JPEG-2000 family (JP2, J2K, PGX, PNM, RAS) through automatic recognition over arbitrary bytes, then its encoder.
#include "FuzzCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzDecodeAndReencode(data, size, PxFormatJP2);
    return 0;
}
