#include "foundation/Path.h"

namespace {
const wchar_t kSeparators[] = L"\\/";
}

std::wstring GetDirectoryName(const std::wstring& path) {
    size_t cut = path.rfind(L'\\');
    if (cut == std::wstring::npos) cut = path.rfind(L'/');
    if (cut == std::wstring::npos) return std::wstring();
    return path.substr(0, cut);
}

std::wstring GetFileExtension(const std::wstring& path) {
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos) return std::wstring();
    const size_t sep = path.find_last_of(kSeparators);
    if (sep != std::wstring::npos && sep > dot) return std::wstring();
    return path.substr(dot + 1);
}

std::wstring GetFileBaseName(const std::wstring& path) {
    const size_t sep = path.find_last_of(kSeparators);
    const size_t start = sep == std::wstring::npos ? 0 : sep + 1;
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || dot < start) return path.substr(start);
    return path.substr(start, dot - start);
}

bool IsDotEntry(const std::wstring& name) {
    return name == L"." || name == L"..";
}
