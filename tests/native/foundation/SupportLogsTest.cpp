#include "foundation/SupportLogs.h"

#include <gtest/gtest.h>

namespace {

TEST(SupportLogsNames, FromTheLocalTime) {
    struct Case {
        int y, mo, d, h, mi, s;
        const wchar_t* zip;
        const wchar_t* copy;
    };
    const Case cases[] = {
        {2024, 3, 7, 9, 5, 1, L"T\\\\cvxlogs_240307_090501.zip", L"T\\\\cvxlogs_settings_240307_090501.json"},
        {2009, 1, 2, 3, 4, 5, L"T\\\\cvxlogs_90102_030405.zip", L"T\\\\cvxlogs_settings_90102_030405.json"},
        {2031, 12, 31, 23, 59, 58, L"T\\\\cvxlogs_311231_235958.zip", L"T\\\\cvxlogs_settings_311231_235958.json"},
    };
    for (const Case& c : cases) {
        // The temporary folder ends with its separator; the pattern adds another.
        const SupportLogsNames n = MakeSupportLogsNames(L"T\\", c.y, c.mo, c.d, c.h, c.mi, c.s);
        EXPECT_EQ(n.zipPath, c.zip);
        EXPECT_EQ(n.settingsCopyPath, c.copy);
    }
}

}  // namespace
