// The start-up path with the settings connected to analytics as the program does it:
// Init loads, points analytics at the collector the file names and only then sends the
// load's own events.
#include "../server/LoopbackHttpServer.h"
#include "../server/ServerTestSupport.h"
#include "../settings/SettingsTestSupport.h"
#include "app/SettingsAnalytics.h"
#include "server/Analytics.h"

using namespace settings_test;

TEST(SettingsInit, LoadEventsGoToTheConfiguredCollector) {
    if (server_test::CurlPath().empty()) GTEST_SKIP() << "no curl executable to run";
    LoopbackHttpServer collector(200, "");
    fs::path dir = FreshFolder("init");
    // No app_id: the load makes one and saves at once, which sends WriteJsonFileOk-2.
    WriteBytes(dir / "settings.json",
               "{\"analytics_url\":\"" + collector.BaseUrl() + "\",\"jpeg_quality\":70}");
    AnalyticsInit(server_test::CurlPath(), L"BrivaneWin/1.0", L"UA-48151623-42", L"BrivaneWin", L"1.0");
    AnalyticsSetCollectorUrl(L"http://127.0.0.1:1");   // anything but the configured one
    {
        SettingsManager m;
        ConnectSettingsToAnalytics(m);
        m.Init((dir / "settings.json").wstring());
        EXPECT_EQ(m.GetJpegQuality(), 70);
        EXPECT_EQ(AnalyticsGetCollectorUrl(), server_test::Wide(collector.BaseUrl()));
        ASSERT_TRUE(collector.WaitForRequests(1));
    }
    auto fields = server_test::DecodeForm(collector.Requests()[0].body);
    EXPECT_EQ(fields["ec"], "Settings");
    EXPECT_EQ(fields["ea"], "WriteJsonFileOk-2");
    AnalyticsSetCollectorUrl(L"");
}
