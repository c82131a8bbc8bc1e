// Fuzz target: the PNG decoder over arbitrary bytes, then its encoder.
#include "FuzzCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzDecodeAndReencode(data, size, PxFormatPNG);
    return 0;
}
