// Day codes as both the program's links and the web service read them: the edges of
// the calendar and of the two-character code.
#include "foundation/DayCode.h"

#include <gtest/gtest.h>

#include <string>

TEST(DayCode, CalendarAndCodeEdges) {
    struct Case {
        int d, m, y;
        bool valid;
        int number;
        const char* code;  // "" where the number has no code
    };
    const Case kCases[] = {
        {1, 1, 2020, true, 0, "00"},          {31, 12, 2019, true, -1, ""},
        {31, 1, 2020, true, 30, "0U"},        {1, 2, 2020, true, 31, "0V"},
        {29, 2, 2020, true, 59, "0x"},        {1, 3, 2020, true, 60, "0y"},
        {31, 12, 2020, true, 365, "5t"},      {1, 1, 2021, true, 366, "5u"},
        {29, 2, 2021, false, 425, "6r"},      {28, 2, 2021, true, 424, "6q"},
        {1, 3, 2021, true, 425, "6r"},        {12, 10, 2021, true, 650, "AU"},
        {29, 2, 2024, true, 1520, "OW"},      {31, 4, 2024, false, 1582, "PW"},
        {10, 7, 2030, true, 3843, "zz"},      {11, 7, 2030, true, 3844, ""},
        {29, 2, 2000, true, -7246, ""},       {29, 2, 2100, false, 29279, ""},
        {0, 1, 2020, false, -1, ""},          {1, 0, 2020, false, -1, ""},
        {1, 13, 2020, false, -1, ""},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::to_string(c.d) + "." + std::to_string(c.m) + "." + std::to_string(c.y));
        EXPECT_EQ(IsValidDate(c.d, c.m, c.y), c.valid);
        EXPECT_EQ(DayNumberSince2020(c.d, c.m, c.y), c.number);
        EXPECT_EQ(EncodeDayCode(c.number), c.code);
    }
}

TEST(DayCode, EveryDayOfTheCodeFollowsTheOneBeforeAndRoundTrips) {
    static const int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int expected = -1;
    for (int y = 2019; y <= 2030; ++y)
        for (int m = 1; m <= 12; ++m) {
            int last = kMonthDays[m - 1] + (m == 2 && y % 4 == 0 ? 1 : 0);
            for (int d = 1; d <= last; ++d) {
                if (y == 2019 && !(m == 12 && d == 31)) continue;
                ASSERT_TRUE(IsValidDate(d, m, y)) << d << "." << m << "." << y;
                ASSERT_EQ(DayNumberSince2020(d, m, y), expected) << d << "." << m << "." << y;
                std::string code = EncodeDayCode(expected);
                if (expected >= 0 && expected <= kMaxDayNumber) {
                    ASSERT_EQ(code.size(), 2u);
                    ASSERT_EQ(DecodeDayCode(code), expected) << code;
                } else {
                    ASSERT_EQ(code, "");
                }
                ++expected;
            }
        }
}

TEST(DayCode, OnlyTwoAlphabetCharactersDecode) {
    struct Case {
        const char* text;
        int number;
    };
    const Case kCases[] = {{"00", 0}, {"0z", 61}, {"10", 62}, {"AU", 650}, {"zz", 3843}, {"", -1},
                           {"A", -1}, {"AUx", -1}, {"A-", -1}, {"-A", -1}, {"A ", -1}, {"\xC3\xA9", -1}};
    for (const Case& c : kCases) {
        EXPECT_EQ(DecodeDayCode(c.text), c.number) << c.text;
    }
}
