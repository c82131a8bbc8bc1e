#include <gtest/gtest.h>

#include <windows.h>

#include <utility>

#include "../../native/core/LogCapture.h"
#include "foundation/SystemLibrary.h"

namespace {

// Libraries that this test program does not import, so that only SystemLibrary maps them.
constexpr const wchar_t* kUnusedA = L"avrt.dll";
constexpr const wchar_t* kUnusedB = L"msacm32.dll";

bool Mapped(const wchar_t* name) { return GetModuleHandleW(name) != nullptr; }

TEST(SystemLibrary, MapsTheLibraryWhileItLivesAndCallsItsFunctions) {
    ASSERT_FALSE(Mapped(kUnusedA)) << "the test needs a library nothing else has loaded";
    {
        SystemLibrary library(kUnusedA);
        ASSERT_TRUE(library.IsLoaded());
        EXPECT_EQ(library.Error(), 0u);
        EXPECT_TRUE(Mapped(kUnusedA));
        EXPECT_EQ(library.get(), GetModuleHandleW(kUnusedA));
    }
    EXPECT_FALSE(Mapped(kUnusedA));

    // A call through the typed pointer: lstrlenW is WINAPI, so on i686 a pointer of the
    // wrong calling convention would leave the stack unbalanced.
    SystemLibrary kernel(L"kernel32.dll");
    decltype(&::lstrlenW) length = nullptr;
    ASSERT_TRUE(kernel.Find("lstrlenW", length));
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(length(L"capture"), 7);
}

TEST(SystemLibrary, MovesOwnershipAndFreesWhatItReplaces) {
    ASSERT_FALSE(Mapped(kUnusedA));
    ASSERT_FALSE(Mapped(kUnusedB));
    SystemLibrary first(kUnusedA);
    SystemLibrary moved(std::move(first));
    EXPECT_FALSE(first.IsLoaded());
    EXPECT_TRUE(moved.IsLoaded());
    first.reset();   // an empty object frees nothing
    EXPECT_TRUE(Mapped(kUnusedA));

    SystemLibrary other(kUnusedB);
    moved = std::move(other);   // frees the library it held
    EXPECT_FALSE(Mapped(kUnusedA));
    EXPECT_TRUE(Mapped(kUnusedB));
    moved.reset();
    EXPECT_FALSE(Mapped(kUnusedB));
}

TEST(SystemLibrary, MissingLibraryOrFunctionIsAnEmptyResult) {
    SystemLibrary missing(L"brivane-no-such-library.dll");
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_EQ(missing.Error(), DWORD(ERROR_MOD_NOT_FOUND));
    decltype(&::lstrlenW) length = &::lstrlenW;
    EXPECT_FALSE(missing.Find("lstrlenW", length));
    EXPECT_EQ(length, nullptr);

    SystemLibrary kernel(L"kernel32.dll");
    length = &::lstrlenW;
    EXPECT_FALSE(kernel.Find("NoSuchFunctionAnywhere", length));
    EXPECT_EQ(length, nullptr);
}

struct KernelFunctions {
    decltype(&::lstrlenW) lstrlenW = nullptr;
    decltype(&::GetTickCount) Missing = nullptr;
};

TEST(SystemLibrary, ProcessLibraryTableLogsWhatIsMissing) {
    LogCapture log;
    const KernelFunctions& kernel =
        LoadLibraryForProcess<KernelFunctions>("kernel32.dll", [](auto find, KernelFunctions& f) {
            find("lstrlenW", f.lstrlenW);
            find("NoSuchFunctionAnywhere", f.Missing);
        });
    ASSERT_NE(kernel.lstrlenW, nullptr);
    EXPECT_EQ(kernel.lstrlenW(L"abc"), 3);
    EXPECT_EQ(kernel.Missing, nullptr);

    const KernelFunctions& none =
        LoadLibraryForProcess<KernelFunctions>("brivane-no-such-library.dll", [](auto find, KernelFunctions& f) {
            find("lstrlenW", f.lstrlenW);
        });
    EXPECT_EQ(none.lstrlenW, nullptr);

    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"kernel32.dll has no NoSuchFunctionAnywhere",
                                                      "Cannot load brivane-no-such-library.dll: error 126"}))
        << log.All();
}

}  // namespace
