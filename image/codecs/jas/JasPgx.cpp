// PGX: "PG", the byte order ("ML" big-endian, "LM" little-endian), an optional
// sign, the depth, width and height, a line feed, then one component's samples
// in 1, 2 or 4 bytes each.
#include <cstdio>
#include <cstring>
#include <string>

#include "image/PxFile.h"
#include "image/codecs/jas/JasImage.h"

namespace jas {
namespace {
// The header line, at most 256 bytes.
bool ReadLine(PxFile* stream, std::string& line) {
    line.clear();
    for (int i = 0; i < 256; ++i) {
        long c = stream->GetC();
        if (c < 0) return false;
        if (c == '\n') return true;
        line.push_back(static_cast<char>(c));
    }
    return false;
}
}  // namespace

bool ReadPgx(PxFile* stream, uint64_t maxBytes, Image& image) {
    std::string line;
    if (!stream || !ReadLine(stream, line)) return false;
    const char* p = line.c_str();
    if (std::strncmp(p, "PG", 2) != 0) return false;
    p += 2;
    while (*p == ' ' || *p == '\t') ++p;
    bool bigEndian;
    if (std::strncmp(p, "ML", 2) == 0)
        bigEndian = true;
    else if (std::strncmp(p, "LM", 2) == 0)
        bigEndian = false;
    else
        return false;
    p += 2;
    bool isSigned = false;
    while (*p == ' ' || *p == '\t' || *p == '+' || *p == '-') {
        if (*p == '-') isSigned = true;
        ++p;
    }
    int depth = 0;
    unsigned long width = 0, height = 0;
    int used = 0;
    if (std::sscanf(p, "%d %lu %lu%n", &depth, &width, &height, &used) != 3) return false;
    if (depth < 1 || depth > 31 || !SamplesFit(width, height, 1, maxBytes)) return false;
    int bytes = depth <= 8 ? 1 : depth <= 16 ? 2 : 4;
    Component c;
    c.width = static_cast<uint32_t>(width);
    c.height = static_cast<uint32_t>(height);
    c.precision = depth;
    c.isSigned = isSigned;
    size_t count = static_cast<size_t>(width) * height;
    c.samples.resize(count);
    uint8_t buffer[4096];
    size_t done = 0;
    while (done < count) {
        size_t want = (count - done) * bytes;
        if (want > sizeof(buffer)) want = sizeof(buffer) / bytes * bytes;
        size_t got = stream->Read(buffer, 1, want);
        if (got < static_cast<size_t>(bytes)) return false;
        for (size_t i = 0; i + bytes <= got; i += bytes) {
            uint32_t v = 0;
            for (int k = 0; k < bytes; ++k) {
                uint32_t byte = buffer[i + (bigEndian ? k : bytes - 1 - k)];
                v = (v << 8) | byte;
            }
            int32_t value;
            if (isSigned && depth < 32 && (v & (1u << (depth - 1))))
                value = static_cast<int32_t>(v | ~((1u << depth) - 1));  // sign-extended
            else
                value = static_cast<int32_t>(v & (depth >= 32 ? 0xFFFFFFFFu : ((1u << depth) - 1)));
            c.samples[done++] = value;
        }
        if (got % bytes) return false;
    }
    image.components.clear();
    image.components.push_back(std::move(c));
    image.space = kGray;
    return true;
}

bool WritePgx(PxFile* stream, const Image& image) {
    if (!stream || image.components.size() != 1) return false;
    const Component& c = image.components[0];
    char header[64];
    int n = std::snprintf(header, sizeof(header), "PG ML + 8 %u %u\n", c.width, c.height);
    if (stream->Write(header, 1, static_cast<size_t>(n)) != static_cast<size_t>(n)) return false;
    std::string bytes(c.samples.size(), '\0');
    for (size_t i = 0; i < c.samples.size(); ++i) bytes[i] = static_cast<char>(c.samples[i]);
    return bytes.empty() || stream->Write(bytes.data(), 1, bytes.size()) == bytes.size();
}

}  // namespace jas
