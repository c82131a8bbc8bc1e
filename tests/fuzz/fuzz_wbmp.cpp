// Fuzz target: the WBMP decoder over arbitrary bytes, then its encoder.
#include "FuzzCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzDecodeAndReencode(data, size, PxFormatWBMP);
    return 0;
}
