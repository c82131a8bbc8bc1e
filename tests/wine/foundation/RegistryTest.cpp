#include <gtest/gtest.h>

#include "foundation/Registry.h"

namespace {

const wchar_t kKey[] = L"Software\\BrivaneToolboxTest";

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }

    static void SetDword(const wchar_t* name, DWORD value) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &value, sizeof(value)),
                  ERROR_SUCCESS);
    }
    static void SetText(const wchar_t* name, const std::wstring& text) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_SZ, text.c_str(),
                                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    static std::wstring Path(const wchar_t* name) { return std::wstring(kKey) + L"\\" + name; }
};

}  // namespace

TEST_F(RegistryTest, DwordDefaultsAndCache) {
    RegistryDword missingKey(Path(L"jpeg_quality"), 90);
    EXPECT_EQ(missingKey.Get(), 90u);
    EXPECT_FALSE(missingKey.IsLoaded());

    SetDword(L"other", 1);   // the key exists, the value does not
    RegistryDword missingValue(Path(L"jpeg_quality"), 90);
    EXPECT_EQ(missingValue.Get(), 90u);
    EXPECT_FALSE(missingValue.IsLoaded());

    SetDword(L"jpeg_quality", 75);
    RegistryDword cached(Path(L"jpeg_quality"), 90);
    RegistryDword live(Path(L"jpeg_quality"), 90, true);
    EXPECT_TRUE(cached.IsLoaded());
    EXPECT_EQ(cached.Get(), 75u);
    EXPECT_EQ(live.Get(), 75u);
    SetDword(L"jpeg_quality", 60);
    EXPECT_EQ(cached.Get(), 75u);   // read once, then cached
    EXPECT_EQ(live.Get(), 60u);     // always read
    EXPECT_EQ(cached.Read(), 60u);
    EXPECT_EQ(cached.Get(), 60u);

    // A value becoming missing keeps the cache but reads give the default.
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"jpeg_quality");
    EXPECT_EQ(cached.Read(), 90u);
    EXPECT_EQ(live.Get(), 90u);

    // More than 4 bytes: the default.
    const unsigned long long wide = 0x1122334455667788ull;
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"qword", REG_QWORD, &wide, sizeof(wide));
    RegistryDword tooBig(Path(L"qword"), 5);
    EXPECT_EQ(tooBig.Get(), 5u);
    EXPECT_FALSE(tooBig.IsLoaded());
}

TEST_F(RegistryTest, StringDefaultsAndCache) {
    RegistryString missing(false, HKEY_CURRENT_USER, Path(L"ThreadingModel"), L"none");
    EXPECT_EQ(missing.Get(), L"none");
    EXPECT_FALSE(missing.IsLoaded());

    SetText(L"ThreadingModel", L"Apartment");
    RegistryString cached(false, HKEY_CURRENT_USER, Path(L"ThreadingModel"), L"");
    RegistryString live(true, HKEY_CURRENT_USER, Path(L"ThreadingModel"), L"");
    EXPECT_TRUE(cached.IsLoaded());
    EXPECT_EQ(cached.Get(), L"Apartment");
    SetText(L"ThreadingModel", L"Both");
    EXPECT_EQ(cached.Get(), L"Apartment");
    EXPECT_EQ(live.Get(), L"Both");

    // The text ends at its first null character; an empty value is a loaded "".
    SetText(L"multi", std::wstring(L"first\0second", 12));
    EXPECT_EQ(RegistryString(false, HKEY_CURRENT_USER, Path(L"multi"), L"d").Get(), L"first");
    SetText(L"empty", L"");
    RegistryString empty(false, HKEY_CURRENT_USER, Path(L"empty"), L"d");
    EXPECT_TRUE(empty.IsLoaded());
    EXPECT_EQ(empty.Get(), L"");
    // Data without a terminating null is still read whole.
    const wchar_t raw[] = {L'a', L'b', L'c'};
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"raw", REG_SZ, raw, sizeof(raw));
    EXPECT_EQ(RegistryString(false, HKEY_CURRENT_USER, Path(L"raw"), L"d").Get(), L"abc");
}
