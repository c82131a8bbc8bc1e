#include <gtest/gtest.h>

#include <map>
#include <set>

#include "foundation/Guid.h"
#include "foundation/Random.h"

namespace {
const std::wstring kAlnum = L"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool IsGuidText(const std::wstring& s) {
    if (s.size() != 38 || s.front() != L'{' || s.back() != L'}') return false;
    for (size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? s[i] != L'-' : std::wstring(L"0123456789ABCDEF").find(s[i]) == std::wstring::npos)
            return false;
    }
    return true;
}
}  // namespace

TEST(Random, DrawsFromTheAlphabet) {
    const std::string id = GenerateRandomId();
    ASSERT_EQ(id.size(), 8u);
    for (char c : id) EXPECT_NE(kAlnum.find(static_cast<wchar_t>(c)), std::wstring::npos) << c;

    const std::wstring sixteen = RandomAlnumString(16);
    ASSERT_EQ(sixteen.size(), 16u);
    for (wchar_t c : sixteen) EXPECT_NE(kAlnum.find(c), std::wstring::npos);

    // A given alphabet is used whole and nothing else.
    std::set<wchar_t> seen;
    for (wchar_t c : RandomString(400, L"xyz", 3)) seen.insert(c);
    EXPECT_EQ(seen, (std::set<wchar_t>{L'x', L'y', L'z'}));

    EXPECT_EQ(RandomString(0), L"");
    EXPECT_EQ(RandomString(-3), L"");
    EXPECT_EQ(RandomString(5, L"q", 1), L"qqqqq");
}

TEST(Random, CallsInTheSameMillisecondDiffer) {
    // Reseeding from a tick count made back-to-back names equal; temporary files and
    // local identifiers rely on them being different.
    std::set<std::string> ids;
    for (int i = 0; i < 2000; ++i) ids.insert(GenerateRandomId());
    EXPECT_EQ(ids.size(), 2000u);
    EXPECT_NE(RandomAlnumString(16), RandomAlnumString(16));
}

TEST(Random, EveryCharacterIsEquallyLikely) {
    std::map<wchar_t, int> counts;
    const int draws = 62 * 1000;
    for (wchar_t c : RandomString(draws)) ++counts[c];
    ASSERT_EQ(counts.size(), 62u);
    for (const auto& entry : counts) {
        EXPECT_GT(entry.second, 820) << char(entry.first);   // 1000 expected, sd about 31
        EXPECT_LT(entry.second, 1180) << char(entry.first);
    }
}

TEST(Random, RandomBelowHasNoModuloBias) {
    // With a bound of 3 * 2^30, a plain word % bound would put values below 2^30 twice
    // as often as the others (a half of all draws instead of a third).
    const unsigned bound = 3u << 30;
    int low = 0;
    const int draws = 3000;
    for (int i = 0; i < draws; ++i) {
        const unsigned v = RandomBelow(bound);
        ASSERT_LT(v, bound);
        if (v < (1u << 30)) ++low;
    }
    EXPECT_GT(low, 850);
    EXPECT_LT(low, 1150);
    EXPECT_EQ(RandomBelow(0), 0u);
    EXPECT_EQ(RandomBelow(1), 0u);
}

TEST(Random, GuidText) {
    const std::wstring a = GenerateGuidString(), b = GenerateGuidString();
    EXPECT_TRUE(IsGuidText(a)) << testing::PrintToString(a);
    EXPECT_NE(a, b);
    const std::wstring r1 = RandomGuidString(), r2 = RandomGuidString();
    EXPECT_TRUE(IsGuidText(r1)) << testing::PrintToString(r1);
    EXPECT_NE(r1, r2);
    // The five groups are drawn independently, not one repeated sequence.
    EXPECT_NE(r1.substr(1, 4), r1.substr(10, 4));
}
