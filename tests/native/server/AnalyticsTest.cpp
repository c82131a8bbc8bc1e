#include <gtest/gtest.h>

#include <regex>

#include "LoopbackHttpServer.h"
#include "ServerTestSupport.h"
#include "foundation/ProcessArguments.h"
#include "foundation/Utf.h"
#include "server/Analytics.h"
#include "server/AnalyticsBuckets.h"

using namespace server_test;

namespace {

// The form body of an event's argument text (the argument after -d).
std::string FormBody(const std::wstring& arguments) {
    auto args = SplitProcessArguments(arguments);
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == L"-d") return WideToUtf8(args[i + 1]);
    }
    ADD_FAILURE() << "no -d argument";
    return "";
}

void InitForTest(const std::wstring& curl, const std::wstring& collector) {
    AnalyticsInit(curl, L"BrivaneWin/1.2.3.4", L"UA-48151623-42", L"BrivaneWin", L"1.2.3.4");
    AnalyticsSetClientId(L"12345678-9ABC-DEF0-1234-56789ABCDEF0");
    AnalyticsSetCollectorUrl(collector);
}

}  // namespace

TEST(AnalyticsBuckets, Durations) {
    struct Case { int64_t ms; const wchar_t* label; };
    const Case kCases[] = {{-5000, L"0-5 sec"}, {0, L"0-5 sec"}, {4999, L"0-5 sec"},
                           {5000, L"5-15 sec"}, {29999, L"15-30 sec"}, {59999, L"30-60 sec"},
                           {60000, L"1-3 min"}, {599999, L"3-10 min"}, {1799999, L"10-30 min"},
                           {3599999, L"30-60 min"}, {3600000, L"60+ min"}};
    for (const Case& c : kCases) EXPECT_EQ(DurationBucket(c.ms), c.label) << c.ms;
}

TEST(AnalyticsBuckets, Resolutions) {
    struct Case { unsigned w, h; const wchar_t* range; const wchar_t* name; };
    const Case kCases[] = {
        {320, 240, L"0-240p", L"240p"},          {640, 360, L"360-480p", L"480p"},
        {1280, 720, L"720-1080p", L"1080p"},     {1920, 1080, L"1080-1440p", L"1440p"},
        {3840, 2160, L"4K+", L"4K+"},            {2560, 1440, L"1440-2160p", L"2160p"},
        {65536, 65536, L"0-240p", L"240p"},      // the product wraps to 0
        {65535, 65535, L"0-240p", L"240p"},      // negative as signed 32-bit
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(ResolutionRangeBucket(c.w, c.h), c.range) << c.w << "x" << c.h;
        EXPECT_EQ(ResolutionBucket(c.w, c.h), c.name) << c.w << "x" << c.h;
    }
}

TEST(AnalyticsBuckets, FpsAndSeconds) {
    EXPECT_EQ(FpsBucket(-1), L"0-5");
    EXPECT_EQ(FpsBucket(4), L"0-5");
    EXPECT_EQ(FpsBucket(24), L"20-25");
    EXPECT_EQ(FpsBucket(29), L"25-30");
    EXPECT_EQ(FpsBucket(30), L"30+");
    struct Case { double ms; const wchar_t* label; };
    const Case kCases[] = {{0, L"0"}, {1, L"1-2"}, {1000, L"1-2"}, {1001, L"2-3"},
                           {3500, L"4-5"}, {4500, L"5-15"}, {14000, L"5-15"}, {119000, L"60-120"}, {119001, L"120+"},
                           {120000, L"120+"}, {-3000, L"0"}, {1e300, L"120+"}};
    for (const Case& c : kCases) EXPECT_EQ(SecondsBucket(c.ms), c.label) << c.ms;
}

TEST(Analytics, FormFieldsInOrderWithLabelAndValue) {
    InitForTest(L"curl", L"https://collector.example");
    std::wstring args = BuildAnalyticsArguments(3, L"Video", L"Finished", L"x");
    std::string body = FormBody(args);
    EXPECT_EQ(FormKeys(body), (std::vector<std::string>{"v", "t", "tid", "cid", "ec", "ea", "el", "ev", "an", "av"}));
    EXPECT_NE(body.find("&el=x&ev=3.000000&an="), std::string::npos);
    auto argv = SplitProcessArguments(args);
    std::vector<std::wstring> expectedTail = {L"-X", L"POST", L"https://collector.example/collect",
                                              L"-w", L"%{http_code}"};
    ASSERT_GE(argv.size(), expectedTail.size());
    EXPECT_EQ(std::vector<std::wstring>(argv.end() - 5, argv.end()), expectedTail);
    EXPECT_EQ(argv[0], L"-s");
    EXPECT_EQ(argv[3], L"BrivaneWin/1.2.3.4");
}

TEST(Analytics, NoLabelMeansNoValue) {
    InitForTest(L"curl", L"https://collector.example");
    std::string body = FormBody(BuildAnalyticsArguments(3, L"Video", L"Finished", L""));
    EXPECT_EQ(body.find("&el="), std::string::npos);
    EXPECT_EQ(body.find("&ev="), std::string::npos);
    body = FormBody(BuildAnalyticsArguments(-1, L"Video", L"Finished", L"y"));
    EXPECT_NE(body.find("&el=y&an="), std::string::npos);
}

TEST(Analytics, EveryValueArrivesExactlyAfterDecoding) {
    InitForTest(L"curl", L"https://collector.example");
    struct Case { const wchar_t* category; const wchar_t* action; const wchar_t* label; const char* decodedLabel; };
    const Case kCases[] = {
        {L"Screenshot.Region", L"Launch on Hotkey", L"Server + Local", "Server + Local"},
        {L"Settings", L"Set Play Sound", L"A+M+X+", "A+M+X+"},
        {L"a&b=c", L"100%", L"q\"uote & = %", "q\"uote & = %"},
        {L"x", L"y", L"a/b:c\\d\ne", "a b c d e"},
        {L"\u00E9v\u00E9nement", L"\u20AC", L"\u65E5\u672C", "\xE6\x97\xA5\xE6\x9C\xAC"},
    };
    for (const Case& c : kCases) {
        std::wstring args = BuildAnalyticsArguments(-1, c.category, c.action, c.label);
        // One quoted -d argument whatever the texts hold.
        std::string body = FormBody(args);
        auto fields = DecodeForm(body);
        EXPECT_EQ(fields["ec"], WideToUtf8(c.category));
        EXPECT_EQ(fields["ea"], WideToUtf8(c.action));
        EXPECT_EQ(fields["el"], c.decodedLabel);
        EXPECT_EQ(fields["cid"], "12345678-9ABC-DEF0-1234-56789ABCDEF0");
    }
}

TEST(Analytics, MachineDescription) {
    EXPECT_EQ(FormatCpuAndMemoryText("  Intel(R) Xeon(R)", 8, 16ull * 1024 * 1024 * 1024 + 1),
              L"  Intel(R) Xeon(R), 8 cores, 17 Gb");
    EXPECT_EQ(FormatCpuAndMemoryText("", 2, 4ull * 1024 * 1024 * 1024), L", 2 cores, 4 Gb");
    std::string text = WideToUtf8(GetCpuAndMemoryText());
    EXPECT_TRUE(std::regex_search(text, std::regex(", [1-9][0-9]* cores, [1-9][0-9]* Gb$"))) << text;
}

TEST(Analytics, EventReachesTheCollectorThroughCurl) {
    if (CurlPath().empty()) GTEST_SKIP() << "no curl executable to run";
    LoopbackHttpServer collector(200, "");
    InitForTest(CurlPath(), Wide(collector.BaseUrl()));
    CvxAnalyticsPostEventAsync(5, L"Screenshot.Region", L"Launch on Hotkey", L"Server + Local");
    ASSERT_TRUE(collector.WaitForRequests(1));
    RecordedRequest req = collector.Requests()[0];
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.target, "/collect");
    EXPECT_EQ(req.Header("User-Agent"), "BrivaneWin/1.2.3.4");
    auto fields = DecodeForm(req.body);
    std::map<std::string, std::string> expected = {
        {"v", "1"}, {"t", "event"}, {"tid", "UA-48151623-42"},
        {"cid", "12345678-9ABC-DEF0-1234-56789ABCDEF0"}, {"ec", "Screenshot.Region"},
        {"ea", "Launch on Hotkey"}, {"el", "Server + Local"}, {"ev", "5.000000"},
        {"an", "BrivaneWin"}, {"av", "1.2.3.4"}};
    EXPECT_EQ(fields, expected);
    EXPECT_EQ(FormKeys(req.body), (std::vector<std::string>{"v", "t", "tid", "cid", "ec", "ea", "el", "ev", "an", "av"}));
}
