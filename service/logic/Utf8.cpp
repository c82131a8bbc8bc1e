#include "service/logic/Utf8.h"

namespace service {
namespace {

// Length of the valid UTF-8 sequence at text[pos] and its code point; 0 when invalid.
size_t DecodeOne(std::string_view text, size_t pos, unsigned& cp) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned b0 = byte(pos);
    size_t len;
    unsigned min;
    if (b0 < 0x80) { cp = b0; return 1; }
    if ((b0 & 0xE0) == 0xC0) { len = 2; cp = b0 & 0x1F; min = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { len = 3; cp = b0 & 0x0F; min = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { len = 4; cp = b0 & 0x07; min = 0x10000; }
    else return 0;
    if (pos + len > text.size()) return 0;
    for (size_t i = 1; i < len; ++i) {
        unsigned b = byte(pos + i);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

std::string SanitizeUtf8(std::string_view text, size_t maxBytes) {
    static const char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size() < maxBytes ? text.size() : maxBytes);
    size_t pos = 0;
    while (pos < text.size()) {
        unsigned cp = 0;
        size_t len = DecodeOne(text, pos, cp);
        std::string_view piece;
        if (len == 0) {
            piece = kReplacement;
            len = 1;
        } else if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) {
            piece = " ";
        } else {
            piece = text.substr(pos, len);
        }
        if (out.size() + piece.size() > maxBytes) break;
        out.append(piece);
        pos += len;
    }
    return out;
}

}  // namespace service
