#pragma once
#include <cstdarg>
#include <string>
#include <vector>

// printf-style narrow formatting of any length.
std::string StringVPrintf(const char* format, va_list args);

// "{}" formatter for wide text. Each argument fills the next "{}" of the pattern, left
// to right; text that an argument inserts is never searched again, so braces inside an
// argument (legal in paths) stay as they are. Missing arguments leave "{}" in place,
// surplus arguments are dropped.
class Format {
public:
    explicit Format(std::wstring pattern) : m_pattern(std::move(pattern)) {}
    Format& Arg(const std::wstring& text);
    Format& ArgInt(int value);
    Format& ArgTwoDigits(int value);   // "07", "00", "10", "2024"
    Format& ArgDouble(double value);   // "%f": six decimals
    Format& ArgHex(int value);         // lower case, no prefix, no leading zeros
    std::wstring Str() const;
    operator std::wstring() const { return Str(); }

private:
    std::wstring m_pattern;
    std::vector<std::wstring> m_args;
};

// The same for narrow (UTF-8) text, with an optional maximum length in bytes.
class FormatA {
public:
    explicit FormatA(std::string pattern) : m_pattern(std::move(pattern)) {}
    FormatA& Arg(const std::string& text);
    FormatA& ArgInt(int value);
    FormatA& ArgBool(bool value);
    FormatA& SetMaxLength(int maxLength);   // 0: no limit
    std::string Str() const;
    operator std::string() const { return Str(); }

private:
    std::string m_pattern;
    std::vector<std::string> m_args;
    int m_maxLength = 0;
};
