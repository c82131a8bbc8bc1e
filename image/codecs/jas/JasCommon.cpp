#include <cstring>

#include "image/PxFile.h"
#include "image/codecs/jas/JasImage.h"

namespace jas {

bool SamplesFit(uint64_t width, uint64_t height, uint64_t count, uint64_t maxBytes) {
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
    // Samples are held as 32-bit integers.
    uint64_t pixels = width * height;
    return pixels <= maxBytes / 4 / (count ? count : 1);
}

Kind Recognize(PxFile* stream) {
    if (!stream) return kNoKind;
    long start = stream->Tell();
    uint8_t head[12] = {};
    size_t got = stream->Read(head, 1, sizeof(head));
    stream->Seek(start, SEEK_SET);
    static const uint8_t kJp2Box[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    static const uint8_t kJpcMarkers[4] = {0xFF, 0x4F, 0xFF, 0x51};
    static const uint8_t kRasMagic[4] = {0x59, 0xA6, 0x6A, 0x95};
    if (got >= 12 && std::memcmp(head, kJp2Box, 12) == 0) return kJp2;
    if (got >= 4 && std::memcmp(head, kJpcMarkers, 4) == 0) return kJpc;
    if (got >= 4 && std::memcmp(head, kRasMagic, 4) == 0) return kRas;
    if (got >= 2 && head[0] == 'P' && head[1] == 'G') return kPgx;
    if (got >= 2 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6') return kPnm;
    return kNoKind;
}

}  // namespace jas
