#pragma once
// Run-length decoders of Windows bitmaps (BI_RLE8, BI_RLE4), shared by the BMP
// decoder and the clipboard reader. They write into bottom-up rows of rowSize
// bytes and drop every write that falls outside them.
#include <cstdint>

class PxFile;

class PxRleDecoder {
public:
    static void DecodeRle8(PxFile* in, uint8_t* pixels, uint32_t rowSize, uint32_t height);
    static void DecodeRle4(PxFile* in, uint8_t* pixels, uint32_t rowSize, uint32_t height);
};
