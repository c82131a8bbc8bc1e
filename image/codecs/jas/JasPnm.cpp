// Netpbm files: P1-P3 plain and P4-P6 raw bitmaps, grey maps and pixmaps with
// any maxval, read as 8-bit samples (bitmaps as 1-bit, 1 = white); grey and
// colour images written as P5 and P6.
#include <cstdio>
#include <string>

#include "image/PxFile.h"
#include "image/codecs/jas/JasImage.h"

namespace jas {
namespace {

// Next decimal number of the header or of plain data, skipping white space and
// comments; -1 when there is none.
long ReadNumber(PxFile* stream) {
    long c = stream->GetC();
    for (;;) {
        if (c == '#') {
            while (c >= 0 && c != '\n' && c != '\r') c = stream->GetC();
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
            c = stream->GetC();
        } else {
            break;
        }
    }
    if (c < '0' || c > '9') return -1;
    long value = 0;
    while (c >= '0' && c <= '9') {
        if (value > 100000000) return -1;
        value = value * 10 + (c - '0');
        c = stream->GetC();
    }
    // The single white-space byte after the number is used up (raw data follows it).
    return value;
}

// A plain bitmap's digits may touch each other.
long ReadBit(PxFile* stream) {
    for (;;) {
        long c = stream->GetC();
        if (c < 0) return -1;
        if (c == '#') {
            while (c >= 0 && c != '\n') c = stream->GetC();
            continue;
        }
        if (c == '0' || c == '1') return c - '0';
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return -1;
    }
}

}  // namespace

bool ReadPnm(PxFile* stream, uint64_t maxBytes, Image& image) {
    if (!stream || stream->GetC() != 'P') return false;
    long kind = stream->GetC() - '0';
    if (kind < 1 || kind > 6) return false;
    long width = ReadNumber(stream), height = ReadNumber(stream);
    bool bitmap = kind == 1 || kind == 4;
    long maxval = bitmap ? 1 : ReadNumber(stream);
    if (width <= 0 || height <= 0 || maxval <= 0 || maxval > 65535) return false;
    size_t count = (kind == 3 || kind == 6) ? 3 : 1;
    if (!SamplesFit(static_cast<uint64_t>(width), static_cast<uint64_t>(height), count, maxBytes)) return false;
    size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    image.components.assign(count, Component());
    for (Component& c : image.components) {
        c.width = static_cast<uint32_t>(width);
        c.height = static_cast<uint32_t>(height);
        c.precision = bitmap ? 1 : 8;
        c.samples.resize(pixels);
    }
    image.space = count == 3 ? kRgb : kGray;
    auto scale = [maxval](long v) { return static_cast<int32_t>((v > maxval ? maxval : v) * 255 + maxval / 2) / maxval; };

    if (kind == 4) {
        size_t lineBytes = (static_cast<size_t>(width) + 7) / 8;
        std::string line(lineBytes, '\0');
        for (long y = 0; y < height; ++y) {
            if (stream->Read(&line[0], 1, lineBytes) != lineBytes) return false;
            for (long x = 0; x < width; ++x) {
                bool black = (static_cast<uint8_t>(line[static_cast<size_t>(x) >> 3]) >> (7 - (x & 7))) & 1;
                image.components[0].samples[static_cast<size_t>(y) * width + x] = black ? 0 : 1;
            }
        }
        return true;
    }
    if (kind == 1) {
        for (size_t i = 0; i < pixels; ++i) {
            long bit = ReadBit(stream);
            if (bit < 0) return false;
            image.components[0].samples[i] = bit ? 0 : 1;
        }
        return true;
    }
    if (kind == 2 || kind == 3) {
        for (size_t i = 0; i < pixels; ++i)
            for (size_t k = 0; k < count; ++k) {
                long v = ReadNumber(stream);
                if (v < 0) return false;
                image.components[k].samples[i] = scale(v);
            }
        return true;
    }
    // Raw samples: one byte each up to maxval 255, else two, most significant first.
    size_t sampleBytes = maxval > 255 ? 2 : 1;
    size_t rowBytes = static_cast<size_t>(width) * count * sampleBytes;
    std::string row(rowBytes, '\0');
    for (long y = 0; y < height; ++y) {
        if (stream->Read(&row[0], 1, rowBytes) != rowBytes) return false;
        const uint8_t* p = reinterpret_cast<const uint8_t*>(row.data());
        for (long x = 0; x < width; ++x)
            for (size_t k = 0; k < count; ++k) {
                long v = *p++;
                if (sampleBytes == 2) v = (v << 8) | *p++;
                image.components[k].samples[static_cast<size_t>(y) * width + x] = scale(v);
            }
    }
    return true;
}

bool WritePnm(PxFile* stream, const Image& image) {
    size_t count = image.components.size();
    if (!stream || (count != 1 && count != 3)) return false;
    const Component& first = image.components[0];
    char header[64];
    int n = std::snprintf(header, sizeof(header), "P%c\n%u %u\n255\n", count == 3 ? '6' : '5', first.width, first.height);
    if (stream->Write(header, 1, static_cast<size_t>(n)) != static_cast<size_t>(n)) return false;
    size_t pixels = first.samples.size();
    std::string row(static_cast<size_t>(first.width) * count, '\0');
    for (size_t start = 0; start < pixels; start += first.width) {
        for (size_t x = 0; x < first.width; ++x)
            for (size_t k = 0; k < count; ++k) row[x * count + k] = static_cast<char>(image.components[k].samples[start + x]);
        if (stream->Write(row.data(), 1, row.size()) != row.size()) return false;
    }
    return true;
}

}  // namespace jas
