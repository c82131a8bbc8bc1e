#include "foundation/Utf.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::wstring& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (cp >> 10));
        out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<wchar_t>(cp);
    }
}

// Decodes one sequence at text[i]. Returns its length, or 0 when malformed (then `cp`
// is undefined). Overlong forms are tolerated as the old decoder did; surrogate code
// points are accepted so that files written by older versions stay readable.
size_t DecodeOne(const std::string& text, size_t i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    size_t len;
    if (lead < 0x80) { cp = lead; return 1; }
    if ((lead & 0xE0) == 0xC0) { len = 2; cp = lead & 0x1F; }
    else if ((lead & 0xF0) == 0xE0) { len = 3; cp = lead & 0x0F; }
    else if ((lead & 0xF8) == 0xF0) { len = 4; cp = lead & 0x07; }
    else { return 0; }
    if (i + len > text.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        unsigned char c = byte(i + k);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp > 0x10FFFF) return 0;
    return len;
}

template <bool Lenient>
bool Decode(const std::string& text, std::wstring& out) {
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        size_t len = DecodeOne(text, i, cp);
        if (len == 0) {
            if (!Lenient) return false;
            out += static_cast<wchar_t>(kReplacement);
            ++i;
            continue;
        }
        AppendUtf16(out, cp);
        i += len;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) {
    std::wstring out;
    if (!Decode<false>(text, out)) {
        throw Utf8Error("invalid UTF-8");
    }
    return out;
}

bool TryUtf8ToWide(const std::string& text, std::wstring& out) {
    std::wstring result;
    if (!Decode<false>(text, result)) return false;
    out.swap(result);
    return true;
}

std::wstring Utf8ToWideLenient(const std::string& text) {
    std::wstring out;
    Decode<true>(text, out);
    return out;
}

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t unit = static_cast<char32_t>(text[i]) & 0xFFFF;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
            char32_t low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            unit = kReplacement;
        }
        AppendUtf8(out, unit);
    }
    return out;
}

std::wstring StringToWString(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (char c : text) {
        out += static_cast<wchar_t>(static_cast<unsigned short>(static_cast<short>(static_cast<signed char>(c))));
    }
    return out;
}

size_t CompleteUtf8Prefix(const std::string& bytes) {
    // Look back at most three bytes for a lead byte whose sequence is cut off.
    size_t n = bytes.size();
    for (size_t back = 1; back <= 3 && back <= n; ++back) {
        unsigned char c = static_cast<unsigned char>(bytes[n - back]);
        if ((c & 0xC0) == 0x80) continue;   // continuation: keep looking for the lead
        size_t need = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
        return need > back ? n - back : n;
    }
    return n;
}
