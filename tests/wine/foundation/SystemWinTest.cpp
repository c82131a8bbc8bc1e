#include <gtest/gtest.h>

#include <set>

#include "foundation/Guid.h"
#include "foundation/WindowsVersion.h"

TEST(SystemWin, GuidStringsFromTheSystem) {
    std::set<std::wstring> seen;
    for (int i = 0; i < 100; ++i) {
        const std::wstring g = GenerateGuidString();
        ASSERT_EQ(g.size(), 38u);
        EXPECT_EQ(g.front(), L'{');
        EXPECT_EQ(g.back(), L'}');
        EXPECT_EQ(g[9], L'-');
        EXPECT_EQ(g[24], L'-');
        for (wchar_t c : g) EXPECT_FALSE(c >= L'a' && c <= L'f') << "lower case digit";
        seen.insert(g);
    }
    EXPECT_EQ(seen.size(), 100u);
}

TEST(SystemWin, VersionIsVistaOrLater) {
    // The machines this runs on (Wine's default Windows version included) are all newer.
    EXPECT_TRUE(IsVistaOrLater());
}
