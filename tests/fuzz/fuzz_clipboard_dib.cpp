// Fuzz target: the clipboard DIB reader over arbitrary blocks, as another
// process could put them on the clipboard.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/PxImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool limited = (PxImage::SetMaxImageBytes(64u << 20), true);  // keep runs fast
    (void)limited;
    // An exact-size copy, so that any read past the block is caught.
    std::vector<uint8_t> block(data, data + size);
    PxImage image;
    if (image.CreateFromPackedDib(block.empty() ? nullptr : block.data(), block.size()) && image.IsValid()) {
        image.GetPixelColor(static_cast<long>(image.GetWidth()) - 1, static_cast<long>(image.GetHeight()) - 1);
        image.GetSize();
    }
    return 0;
}
