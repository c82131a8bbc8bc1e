#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/Upgrade.h"

// A 64-bit program removes the 64-bit shell extension; a 32-bit one only under WOW64
// (the prefix of the i686 tests is a 32-bit one).
TEST(Upgrade, OldShellExtensionLibraryFollowsTheProcessArchitecture) {
#ifdef _WIN64
    EXPECT_EQ(std::wstring(OldShellExtensionLibrary()), L"brivaneshell64.dll");
#else
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(std::wstring(OldShellExtensionLibrary()),
              wow64 ? L"brivaneshell64.dll" : L"brivaneshell.dll");
#endif
}
