#include "foundation/Utf.h"

#include <windows.h>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

std::string FromWide(UINT codePage, const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::vector<char> buf(static_cast<size_t>(size));
    if (WideCharToMultiByte(codePage, 0, text.c_str(), -1, buf.data(), size, nullptr, nullptr) <= 0) {
        return {};
    }
    return std::string(buf.data());
}

}  // namespace

std::string WStringToUtf8(const std::wstring& text) {
    return FromWide(CP_UTF8, text);
}

std::string WStringToAnsi(const std::wstring& text) {
    return FromWide(CP_ACP, text);
}

std::wstring WStringPrintf(const wchar_t* format, ...) {
    // _vsnwprintf is msvcrt's formatter, where %s takes a wide string; mingw's C99
    // vswprintf would read it as narrow.
    wchar_t stackBuf[8192];
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(stackBuf, 8192, format, args);
    va_end(args);
    if (n >= 0 && n < 8192) {
        return std::wstring(stackBuf, static_cast<size_t>(n));
    }
    va_start(args, format);
    int needed = _vscwprintf(format, args);
    va_end(args);
    if (needed < 0) return {};
    std::vector<wchar_t> heap(static_cast<size_t>(needed) + 1);
    va_start(args, format);
    _vsnwprintf(heap.data(), heap.size(), format, args);
    va_end(args);
    return std::wstring(heap.data(), static_cast<size_t>(needed));
}
