#pragma once
// Shared body of the single-format fuzz targets: decode the bytes with one format
// code (the first frame and, for files with several, the second), then encode
// what decoded with the same code and decode that again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/PxImage.h"
#include "image/PxMemFile.h"

inline void FuzzDecodeAndReencode(const uint8_t* data, size_t size, uint32_t code) {
    static const bool limited = (PxImage::SetMaxImageBytes(64u << 20), true);  // keep runs fast
    (void)limited;
    std::vector<uint8_t> bytes(data, data + size);
    for (int32_t frame = 0; frame < 2; ++frame) {
        PxMemFile stream(bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(bytes.size()));
        PxImage image;
        image.SetFrame(frame);
        if (!image.Decode(&stream, code) || !image.IsValid()) return;
        image.GetPixelColor(0, 0);
        if (static_cast<uint64_t>(image.GetWidth()) * image.GetHeight() <= 256 * 256) {
            uint8_t* out = nullptr;
            long outSize = 0;
            if (image.Encode(out, outSize, code)) {
                PxImage back(out, static_cast<uint32_t>(outSize), code);
                PxImage::FreeMemory(out);
            }
        }
        if (image.GetNumFrames() < 2) return;
    }
}
