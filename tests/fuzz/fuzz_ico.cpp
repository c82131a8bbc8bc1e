// Fuzz target: the ICO decoder over arbitrary bytes, then its encoder.
#include "FuzzCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzDecodeAndReencode(data, size, PxFormatICO);
    return 0;
}
