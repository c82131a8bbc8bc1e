#pragma once
#include <cstdint>
#include <string>

// The settings of older versions under HKEY_CURRENT_USER "Software\Brivane" (values
// of "Software\Brivane\Settings" and two directly under the key). An interface so
// that the migration runs natively against a fake.
class ILegacySettingsStore {
public:
    virtual ~ILegacySettingsStore() = default;
    // `path` is the sub-key path below HKEY_CURRENT_USER, a backslash and the value
    // name. A missing key or value gives the default.
    virtual uint32_t ReadDword(const std::wstring& path, uint32_t defaultValue) = 0;
    virtual std::wstring ReadString(const std::wstring& path, const std::wstring& defaultValue) = 0;
    // Deletes "Software\Brivane" with its sub-keys; true when it is gone (or never was).
    virtual bool DeleteAll() = 0;
};

// A store with nothing in it: machines that never ran an older version, and the native
// build.
class EmptyLegacySettingsStore : public ILegacySettingsStore {
public:
    uint32_t ReadDword(const std::wstring&, uint32_t defaultValue) override { return defaultValue; }
    std::wstring ReadString(const std::wstring&, const std::wstring& defaultValue) override {
        return defaultValue;
    }
    bool DeleteAll() override { return true; }
};

#include <memory>

// The store of this system: the registry on Windows, an empty store elsewhere.
std::unique_ptr<ILegacySettingsStore> CreateLegacySettingsStore();
