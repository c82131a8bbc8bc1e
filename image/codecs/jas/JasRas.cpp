// Sun raster files, types 0 (old), 1 (standard) and 3 (red-green-blue order):
// 1, 8, 24 and 32-bit rows
// padded to 16 bits, blue-green-red pixels, an optional red/green/blue colour
// map; written as 8-bit grey or 24-bit colour.
#include <cstring>
#include <string>
#include <vector>

#include "image/PxFile.h"
#include "image/codecs/PxByteOrder.h"
#include "image/codecs/jas/JasImage.h"

namespace jas {

bool ReadRas(PxFile* stream, uint64_t maxBytes, Image& image) {
    uint8_t h[32];
    if (!stream || stream->Read(h, sizeof(h), 1) != 1 || PxBE32(h) != 0x59A66A95) return false;
    uint32_t width = PxBE32(h + 4), height = PxBE32(h + 8), depth = PxBE32(h + 12);
    uint32_t type = PxBE32(h + 20), mapType = PxBE32(h + 24), mapLength = PxBE32(h + 28);
    // Types 0 (old) and 1 (standard) hold blue-green-red pixels, 3 red-green-blue.
    if ((type > 1 && type != 3) || (depth != 1 && depth != 8 && depth != 24 && depth != 32)) return false;
    if (mapType > 1 || (mapType == 0 && mapLength != 0) || mapLength > 768 || mapLength % 3) return false;
    std::vector<uint8_t> map(mapLength);
    if (mapLength && stream->Read(map.data(), 1, mapLength) != mapLength) return false;
    size_t entries = mapLength / 3;
    bool colour = depth >= 24 || entries > 0;
    size_t count = colour ? 3 : 1;
    if (!SamplesFit(width, height, count, maxBytes)) return false;

    size_t pixels = static_cast<size_t>(width) * height;
    image.components.assign(count, Component());
    for (Component& c : image.components) {
        c.width = width;
        c.height = height;
        c.precision = (depth == 1 && !colour) ? 1 : 8;
        c.samples.resize(pixels);
    }
    image.space = colour ? kRgb : kGray;
    size_t rowBytes = (static_cast<size_t>(width) * depth + 15) / 16 * 2;
    std::string row(rowBytes, '\0');
    for (uint32_t y = 0; y < height; ++y) {
        if (stream->Read(&row[0], 1, rowBytes) != rowBytes) return false;
        const uint8_t* p = reinterpret_cast<const uint8_t*>(row.data());
        for (uint32_t x = 0; x < width; ++x) {
            size_t i = static_cast<size_t>(y) * width + x;
            if (depth >= 24) {
                const uint8_t* px = p + static_cast<size_t>(x) * (depth / 8) + (depth == 32 ? 1 : 0);
                bool rgbOrder = type == 3;
                image.components[0].samples[i] = rgbOrder ? px[0] : px[2];
                image.components[1].samples[i] = px[1];
                image.components[2].samples[i] = rgbOrder ? px[2] : px[0];
                continue;
            }
            uint32_t index = depth == 8 ? p[x] : ((p[x >> 3] >> (7 - (x & 7))) & 1);
            if (!colour) {
                // Without a map a set bit is black.
                image.components[0].samples[i] = depth == 8 ? static_cast<int32_t>(index) : (index ? 0 : 1);
            } else {
                for (size_t k = 0; k < 3; ++k)
                    image.components[k].samples[i] = index < entries ? map[k * entries + index] : 0;
            }
        }
    }
    return true;
}

bool WriteRas(PxFile* stream, const Image& image) {
    size_t count = image.components.size();
    if (!stream || (count != 1 && count != 3)) return false;
    const Component& first = image.components[0];
    uint32_t depth = count == 3 ? 24 : 8;
    size_t rowBytes = (static_cast<size_t>(first.width) * depth + 15) / 16 * 2;
    uint8_t h[32];
    uint32_t fields[8] = {0x59A66A95, first.width, first.height, depth,
                          static_cast<uint32_t>(rowBytes * first.height), 1, 0, 0};
    for (int i = 0; i < 8; ++i) {
        h[4 * i] = static_cast<uint8_t>(fields[i] >> 24);
        h[4 * i + 1] = static_cast<uint8_t>(fields[i] >> 16);
        h[4 * i + 2] = static_cast<uint8_t>(fields[i] >> 8);
        h[4 * i + 3] = static_cast<uint8_t>(fields[i]);
    }
    if (stream->Write(h, sizeof(h), 1) != 1) return false;
    std::string row(rowBytes, '\0');
    for (uint32_t y = 0; y < first.height; ++y) {
        size_t start = static_cast<size_t>(y) * first.width;
        for (uint32_t x = 0; x < first.width; ++x) {
            if (count == 1) {
                row[x] = static_cast<char>(first.samples[start + x]);
            } else {
                row[3 * x] = static_cast<char>(image.components[2].samples[start + x]);
                row[3 * x + 1] = static_cast<char>(image.components[1].samples[start + x]);
                row[3 * x + 2] = static_cast<char>(image.components[0].samples[start + x]);
            }
        }
        if (stream->Write(row.data(), 1, row.size()) != row.size()) return false;
    }
    return true;
}

}  // namespace jas
