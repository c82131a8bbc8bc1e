// Fuzz target: the PNG decoder over arbitrary bytes, through a memory stream.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/PxImage.h"
#include "image/PxMemFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool limited = (PxImage::SetMaxImageBytes(64u << 20), true);  // keep runs fast
    (void)limited;
    std::vector<uint8_t> bytes(data, data + size);
    PxMemFile stream(bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(bytes.size()));
    PxImage image;
    if (image.Decode(&stream, PxFormatPNG) && image.IsValid()) {
        image.GetPixelColor(0, 0);
        image.AlphaIsValid();
    }
    return 0;
}
