#pragma once
#include <stdexcept>
#include <string>

// Wide text inside the program is UTF-16: on Windows wchar_t is one UTF-16 unit; in the
// native Linux build std::wstring holds the same UTF-16 units, one per wchar_t, so the
// portable code behaves identically on both.

// Raised by Utf8ToWide on malformed input.
class Utf8Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Strict UTF-8 to UTF-16. Code points above U+FFFF become surrogate pairs; encoded
// surrogate halves (three-byte sequences written by older versions) are accepted.
// A byte-order mark is kept as U+FEFF. Throws Utf8Error on malformed input.
std::wstring Utf8ToWide(const std::string& text);

// The same without exceptions: false (and out untouched) on malformed input.
bool TryUtf8ToWide(const std::string& text, std::wstring& out);

// For outside text (child output, replies): malformed sequences become U+FFFD.
std::wstring Utf8ToWideLenient(const std::string& text);

// UTF-16 to UTF-8. A valid surrogate pair becomes one four-byte sequence; a lone
// surrogate becomes U+FFFD.
std::string WideToUtf8(const std::wstring& text);

// Byte by byte, each byte taken as a signed 8-bit value; for ASCII callers.
std::wstring StringToWString(const std::string& text);

// Length of the longest prefix of `bytes` that ends on a UTF-8 sequence boundary; the
// rest is an incomplete trailing sequence that a stream reader keeps for its next read.
size_t CompleteUtf8Prefix(const std::string& bytes);

#ifdef _WIN32
// The system's conversions (WideCharToMultiByte), up to the first null character.
std::string WStringToUtf8(const std::wstring& text);
std::string WStringToAnsi(const std::wstring& text);
// printf-style wide formatting of any length (msvcrt rules: %s is a wide string).
std::wstring WStringPrintf(const wchar_t* format, ...);
#endif
