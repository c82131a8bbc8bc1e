#include "foundation/Registry.h"

#include <vector>

#include "foundation/WinHandles.h"

namespace {

// Splits "sub\key\name" at its last backslash; without one the whole path is the name.
void SplitValuePath(const std::wstring& path, std::wstring& subKey, std::wstring& name) {
    const size_t cut = path.rfind(L'\\');
    if (cut == std::wstring::npos) {
        subKey.clear();
        name = path;
    } else {
        subKey = path.substr(0, cut);
        name = path.substr(cut + 1);
    }
}

}  // namespace

RegistryDword::RegistryDword(const std::wstring& path, DWORD defaultValue, bool alwaysRead,
                             HKEY root)
    : m_root(root), m_default(defaultValue), m_alwaysRead(alwaysRead) {
    SplitValuePath(path, m_subKey, m_name);
    Read();
}

DWORD RegistryDword::Get() {
    if (m_loaded && !m_alwaysRead) return m_value;
    return Read();
}

DWORD RegistryDword::Read() {
    UniqueRegKey key;
    if (RegOpenKeyExW(m_root, m_subKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return m_default;
    }
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key.get(), m_name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
        return m_default;
    }
    m_value = value;
    m_loaded = true;
    return m_value;
}

RegistryString::RegistryString(bool alwaysRead, HKEY root, const std::wstring& path,
                               const std::wstring& defaultValue)
    : m_root(root), m_default(defaultValue), m_alwaysRead(alwaysRead) {
    SplitValuePath(path, m_subKey, m_name);
    Read();
}

std::wstring RegistryString::Get() {
    if (m_loaded && !m_alwaysRead) return m_value;
    return Read();
}

std::wstring RegistryString::Read() {
    UniqueRegKey key;
    if (RegOpenKeyExW(m_root, m_subKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return m_default;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), m_name.c_str(), nullptr, nullptr, nullptr, &size) !=
        ERROR_SUCCESS) {
        return m_default;
    }
    // Room for an odd byte count and a terminating null that the data may lack.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD got = size;
    if (RegQueryValueExW(key.get(), m_name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer.data()), &got) != ERROR_SUCCESS) {
        return m_default;
    }
    m_value.assign(buffer.data());   // up to the first null character
    m_loaded = true;
    return m_value;
}
