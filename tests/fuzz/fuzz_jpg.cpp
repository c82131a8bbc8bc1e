// Fuzz target: the JPEG decoder and its EXIF reader over arbitrary bytes, then the
// encoder.
#include <vector>

#include "FuzzCodec.h"
#include "image/codecs/PxExifInfo.h"
#include "image/codecs/PxImageJPG.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzDecodeAndReencode(data, size, PxFormatJPG);
    // The reader in the mode the encoder uses, which also keeps the image data.
    std::vector<uint8_t> bytes(data, data + size);
    PxMemFile stream(bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(bytes.size()));
    PxImageJPG::PxExifInfo exif;
    exif.DecodeExif(&stream, PxImageJPG::PxExifInfo::kReadAll);
    return 0;
}
