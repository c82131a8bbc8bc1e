#include "foundation/Format.h"

#include <cstdio>

namespace {

template <typename String>
String Render(const String& pattern, const std::vector<String>& args) {
    using Char = typename String::value_type;
    const Char braces[] = {Char('{'), Char('}'), Char(0)};
    String out;
    out.reserve(pattern.size());
    size_t pos = 0;
    for (const String& arg : args) {
        size_t at = pattern.find(braces, pos);
        if (at == String::npos) {
            break;
        }
        out.append(pattern, pos, at - pos);
        out += arg;
        pos = at + 2;
    }
    out.append(pattern, pos, String::npos);
    return out;
}

std::string Decimal(int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", value);
    return buf;
}

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace

std::string StringVPrintf(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed <= 0) return {};
    std::vector<char> text(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    return std::string(text.data(), static_cast<size_t>(needed));
}

Format& Format::Arg(const std::wstring& text) {
    m_args.push_back(text);
    return *this;
}

Format& Format::ArgInt(int value) {
    return Arg(Widen(Decimal(value)));
}

Format& Format::ArgTwoDigits(int value) {
    return Arg(Widen(value > 9 ? Decimal(value) : "0" + Decimal(value)));
}

Format& Format::ArgDouble(double value) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%f", value);
    return Arg(Widen(buf));
}

Format& Format::ArgHex(int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", static_cast<unsigned>(value));
    return Arg(Widen(buf));
}

std::wstring Format::Str() const {
    return Render(m_pattern, m_args);
}

FormatA& FormatA::Arg(const std::string& text) {
    m_args.push_back(text);
    return *this;
}

FormatA& FormatA::ArgInt(int value) {
    return Arg(Decimal(value));
}

FormatA& FormatA::ArgBool(bool value) {
    return Arg(value ? "1" : "0");
}

FormatA& FormatA::SetMaxLength(int maxLength) {
    m_maxLength = maxLength;
    return *this;
}

std::string FormatA::Str() const {
    std::string out = Render(m_pattern, m_args);
    if (m_maxLength > 0 && static_cast<size_t>(m_maxLength) < out.size()) {
        out.resize(static_cast<size_t>(m_maxLength));
    }
    return out;
}
