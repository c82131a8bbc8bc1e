#pragma once
// Builds small BMP files byte by byte for the decoder tests.
#include <cstdint>
#include <vector>

namespace pxtest {

struct BmpBuilder {
    std::vector<uint8_t> bytes;

    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        U16(static_cast<uint16_t>(v));
        U16(static_cast<uint16_t>(v >> 16));
    }
    void Bytes(std::initializer_list<uint8_t> list) { bytes.insert(bytes.end(), list.begin(), list.end()); }

    // "BM", size, reserved, pixel offset (patched by SetPixelOffset).
    void FileHeader() {
        U16(0x4D42);
        U32(0);
        U32(0);
        U32(0);
    }
    void InfoHeader(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t sizeImage = 0,
                    uint32_t clrUsed = 0, int32_t ppm = 0) {
        U32(40);
        U32(static_cast<uint32_t>(width));
        U32(static_cast<uint32_t>(height));
        U16(1);
        U16(bits);
        U32(compression);
        U32(sizeImage);
        U32(static_cast<uint32_t>(ppm));
        U32(static_cast<uint32_t>(ppm));
        U32(clrUsed);
        U32(0);
    }
    void SetPixelOffsetHere() {
        uint32_t off = static_cast<uint32_t>(bytes.size());
        for (int i = 0; i < 4; ++i) bytes[10 + i] = static_cast<uint8_t>(off >> (8 * i));
        uint32_t size = off;
        for (int i = 0; i < 4; ++i) bytes[2 + i] = static_cast<uint8_t>(size >> (8 * i));
    }
    void Grey4Palette(int n) {
        for (int i = 0; i < n; ++i) {
            uint8_t v = static_cast<uint8_t>(i * 17);
            Bytes({v, v, v, 0});
        }
    }
};

}  // namespace pxtest
