// Fuzz target: the JPEG decoder and its EXIF reader over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/PxImage.h"
#include "image/PxMemFile.h"
#include "image/codecs/PxExifInfo.h"
#include "image/codecs/PxImageJPG.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool limited = (PxImage::SetMaxImageBytes(64u << 20), true);  // keep runs fast
    (void)limited;
    std::vector<uint8_t> bytes(data, data + size);
    uint8_t* buffer = bytes.empty() ? nullptr : bytes.data();
    {
        PxMemFile stream(buffer, static_cast<uint32_t>(bytes.size()));
        PxImage image;
        image.Decode(&stream, PxFormatJPG);
    }
    {
        // The reader in the mode the encoder uses, which also keeps the image data.
        PxMemFile stream(buffer, static_cast<uint32_t>(bytes.size()));
        PxImageJPG::PxExifInfo exif;
        exif.DecodeExif(&stream, PxImageJPG::PxExifInfo::kReadAll);
    }
    return 0;
}
