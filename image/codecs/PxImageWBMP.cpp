#include "image/codecs/PxImageWBMP.h"

#include <vector>

#include "image/PxFile.h"

namespace {
// Multi-byte integer: 7 bits a byte, most significant first, top bit set on
// every byte but the last. False at the end of the stream or past 32 bits.
bool ReadMultiByte(PxFile* stream, uint32_t* value) {
    uint32_t v = 0;
    for (int i = 0; i < 5; ++i) {
        long c = stream->GetC();
        if (c < 0) return false;
        v = (v << 7) | static_cast<uint32_t>(c & 0x7F);
        if (!(c & 0x80)) {
            *value = v;
            return true;
        }
    }
    return false;
}

void PutMultiByte(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value);
    while (n-- > 0) out.push_back(static_cast<uint8_t>(bytes[n] | (n ? 0x80 : 0)));
}
}  // namespace

bool PxImageWBMP::Decode(PxFile* stream) {
    if (!stream) return false;
    try {
        uint32_t type = 0, width = 0, height = 0;
        if (!ReadMultiByte(stream, &type)) throw "Not a WBMP";
        long fixed = stream->GetC();
        if (fixed < 0 || !ReadMultiByte(stream, &width) || !ReadMultiByte(stream, &height)) throw "Not a WBMP";
        if (type != 0) throw "Unsupported WBMP type";
        if (width == 0 || height == 0 || fixed != 0) throw "Corrupted WBMP";
        if (!Create(width, height, 1, PxFormatWBMP)) throw "WBMP Create failed";
        SetPaletteColor(0, 0, 0, 0);
        SetPaletteColor(1, 255, 255, 255);
        size_t lineBytes = (static_cast<size_t>(width) + 7) / 8;
        for (uint32_t y = 0; y < height; ++y)
            if (stream->Read(GetBits(height - 1 - y), lineBytes, 1) != 1) throw "Corrupted WBMP";
        return true;
    } catch (const char* text) {
        SetError(text);
        return false;
    }
}

bool PxImageWBMP::Encode(PxFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    uint32_t width = GetWidth(), height = GetHeight();
    if (GetBpp() != 1 || width > 255 || height > 255) {
        SetError("Can't save this image as WBMP");
        return false;
    }
    std::vector<uint8_t> out = {0, 0};
    PutMultiByte(out, width);
    PutMultiByte(out, height);
    // A set bit is white: an image whose first colour is the brighter one is inverted.
    RGBQUAD c0 = GetPaletteColor(0), c1 = GetPaletteColor(1);
    bool invert = CompareColors(&c0, &c1) > 0;
    size_t lineBytes = (static_cast<size_t>(width) + 7) / 8;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = GetBits(height - 1 - y);
        for (size_t i = 0; i < lineBytes; ++i) out.push_back(invert ? static_cast<uint8_t>(~row[i]) : row[i]);
        if (width % 8) out.back() &= static_cast<uint8_t>(0xFF << (8 - width % 8));
    }
    if (stream->Write(out.data(), out.size(), 1) != 1) {
        SetError("Write Error");
        return false;
    }
    return true;
}
