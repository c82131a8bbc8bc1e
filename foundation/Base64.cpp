#include "foundation/Base64.h"

#include <limits>

namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}

size_t Base64EncodedLength(size_t length) {
    const size_t groups = length / 3 + (length % 3 != 0 ? 1 : 0);
    if (groups > std::numeric_limits<size_t>::max() / 4) return 0;
    return groups * 4;
}

size_t Base64EncodeBytes(const uint8_t* data, size_t length, char* out, size_t capacity) {
    const size_t needed = Base64EncodedLength(length);
    if ((needed == 0 && length != 0) || capacity < needed + 1 || capacity == 0) return 0;
    size_t o = 0;
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const uint32_t v = (uint32_t(data[i]) << 16) | (uint32_t(data[i + 1]) << 8) | data[i + 2];
        out[o++] = kAlphabet[(v >> 18) & 63];
        out[o++] = kAlphabet[(v >> 12) & 63];
        out[o++] = kAlphabet[(v >> 6) & 63];
        out[o++] = kAlphabet[v & 63];
    }
    const size_t rest = length - i;
    if (rest > 0) {
        uint32_t v = uint32_t(data[i]) << 16;
        if (rest == 2) v |= uint32_t(data[i + 1]) << 8;
        out[o++] = kAlphabet[(v >> 18) & 63];
        out[o++] = kAlphabet[(v >> 12) & 63];
        out[o++] = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out[o++] = '=';
    }
    return o;
}

std::string Base64Encode(const std::string& data) {
    if (data.empty()) return std::string();
    const size_t needed = Base64EncodedLength(data.size());
    if (needed == 0) return std::string();
    std::string out(needed + 1, '\0');
    const size_t written = Base64EncodeBytes(reinterpret_cast<const uint8_t*>(data.data()),
                                             data.size(), &out[0], out.size());
    out.resize(written);
    return out;
}
