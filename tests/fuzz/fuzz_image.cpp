// Fuzz target: automatic format detection, then every encoder on what decoded.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/PxImage.h"
#include "image/PxMemFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool limited = (PxImage::SetMaxImageBytes(16u << 20), true);  // keep runs fast
    (void)limited;
    std::vector<uint8_t> bytes(data, data + size);
    PxMemFile stream(bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(bytes.size()));
    PxImage image;
    if (!image.Decode(&stream, PxFormatUnknown) || !image.IsValid()) return 0;
    if (static_cast<uint64_t>(image.GetWidth()) * image.GetHeight() > 256 * 256) return 0;
    for (uint32_t code : {PxFormatBMP, PxFormatPNG, PxFormatJPG, PxFormatICO}) {
        uint8_t* out = nullptr;
        long outSize = 0;
        if (image.Encode(out, outSize, code)) {
            PxImage back(out, static_cast<uint32_t>(outSize), code);
            PxImage::FreeMemory(out);
        }
    }
    return 0;
}
