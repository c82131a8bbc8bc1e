#pragma once
// Windows only: cached registry values for the migration of old settings and the old
// shell-extension check. Reads never fail: a missing key or value gives the default.
#include <windows.h>

#include <string>

// A DWORD value. `path` is the sub-key path, a backslash and the value name.
class RegistryDword {
public:
    RegistryDword(const std::wstring& path, DWORD defaultValue, bool alwaysRead = false,
                  HKEY root = HKEY_CURRENT_USER);

    // The cached value when it was loaded and alwaysRead is off; otherwise Read().
    DWORD Get();
    // Reads the value's 4 bytes (the stored type is not examined). On success caches
    // it and marks it loaded; a missing key or value, or one larger than 4 bytes, gives
    // the default and leaves the cache as it was.
    DWORD Read();
    bool IsLoaded() const { return m_loaded; }

private:
    HKEY m_root;
    std::wstring m_subKey;
    std::wstring m_name;
    DWORD m_value = 0;
    DWORD m_default;
    bool m_loaded = false;
    bool m_alwaysRead;
};

// A text value (up to its first null character).
class RegistryString {
public:
    RegistryString(bool alwaysRead, HKEY root, const std::wstring& path,
                   const std::wstring& defaultValue);

    std::wstring Get();
    std::wstring Read();
    bool IsLoaded() const { return m_loaded; }

private:
    HKEY m_root;
    std::wstring m_name;
    std::wstring m_subKey;
    std::wstring m_value;
    std::wstring m_default;
    bool m_loaded = false;
    bool m_alwaysRead;
};
