#include "foundation/StringTable.h"

#include <windows.h>

StringTable& StringTable::Instance() {
    static StringTable instance;
    return instance;
}

bool StringTable::Load(unsigned id, std::wstring& text) const {
    wchar_t buf[4096];
    int n = LoadStringW(GetModuleHandleW(nullptr), id, buf, 4096);
    text.assign(buf, n > 0 ? static_cast<size_t>(n) : 0);
    return true;
}

std::wstring StringTable::GetString(unsigned id) const {
    std::wstring text;
    Load(id, text);
    return text;
}

wchar_t* StringTable::CopyString(unsigned id, wchar_t* buffer, size_t capacity) const {
    if (capacity == 0) return buffer;
    std::wstring text = GetString(id);
    size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    text.copy(buffer, n);
    buffer[n] = L'\0';
    return buffer;
}
