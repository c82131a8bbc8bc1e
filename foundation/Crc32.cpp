#include "foundation/Crc32.h"

namespace {

struct CrcTable {
    uint32_t entries[256];
    CrcTable() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[i] = c;
        }
    }
};

}  // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
    static const CrcTable table;
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table.entries[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
