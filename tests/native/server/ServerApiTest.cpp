#include <gtest/gtest.h>

#include "server/ServerAPI.h"

TEST(ServerApi, SyncReplies) {
    struct Case {
        const char* name;
        std::string reply;
        bool parsed;
        std::wstring uploadHost;      // "" when absent
        long long maxSize;            // -1 when absent
    };
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n";
    const Case kCases[] = {
        {"both keys", head + "{\"upload_host\":\"a\",\"max_upload_file_size\":1048576}", true, L"a", 1048576},
        {"largest size", head + "{\"max_upload_file_size\":4294967295}", true, L"", 4294967295LL},
        {"size as a string", head + "{\"max_upload_file_size\":\"1048576\"}", true, L"", -1},
        {"size too large", head + "{\"max_upload_file_size\":4294967296}", true, L"", -1},
        {"size negative", head + "{\"max_upload_file_size\":-1}", true, L"", -1},
        {"size fractional", head + "{\"max_upload_file_size\":10.5}", true, L"", -1},
        {"host of another type", head + "{\"upload_host\":5,\"max_upload_file_size\":0}", true, L"", 0},
        {"no brace followed by a quote", head + "{ }", false, L"", -1},
        {"empty reply", "", false, L"", -1},
        {"no closing brace", head + "{\"upload_host\":\"a\"", false, L"", -1},
        {"nested object ends early", head + "{\"a\":{\"b\":1},\"max_upload_file_size\":5}", false, L"", -1},
        {"garbage", "\x01\x02{\"\xff\xfe}", false, L"", -1},
        {"a brace in a header", "X-A: {\"q\r\n\r\n{\"max_upload_file_size\":5}", false, L"", -1},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ServerSyncData> data = ServerAPI::ParseSyncReply(c.reply);
        ASSERT_EQ(data != nullptr, c.parsed);
        if (!data) continue;
        auto host = data->texts.find(L"upload_host");
        EXPECT_EQ(host == data->texts.end() ? L"" : host->second, c.uploadHost);
        auto size = data->numbers.find("max_upload_file_size");
        EXPECT_EQ(size == data->numbers.end() ? -1LL : static_cast<long long>(size->second), c.maxSize);
    }
}

TEST(ServerApi, IdentifierReplies) {
    using List = std::vector<std::string>;
    struct Case { const char* name; std::wstring body; int httpCode; List expected; };
    const Case kCases[] = {
        {"ok", L"{\"status\":\"ok\",\"uids\":[\"a\",\"b\"]}", 200, {"a", "b"}},
        {"ok with blanks after", L"{\"status\":\"ok\",\"uids\":[\"a\"]} \r\n", 200, {"a"}},
        {"stops at the first non-string", L"{\"status\":\"ok\",\"uids\":[\"a\",2,\"b\"]}", 200, {"a"}},
        {"not ok", L"{\"status\":\"fail\"}", 200, {}},
        {"status of another case", L"{\"status\":\"OK\",\"uids\":[\"a\"]}", 200, {}},
        {"no status", L"{\"uids\":[\"a\"]}", 200, {}},
        {"no uids", L"{\"status\":\"ok\"}", 200, {}},
        {"uids not an array", L"{\"status\":\"ok\",\"uids\":\"a\"}", 200, {}},
        {"not an object", L"[\"a\"]", 200, {}},
        {"not json", L"<html>", 200, {}},
        {"something after the value", L"{\"status\":\"ok\",\"uids\":[\"a\"]}x", 200, {}},
        {"empty", L"", 200, {}},
        {"status 500", L"{\"status\":\"ok\",\"uids\":[\"a\"]}", 500, {}},
        {"no status code", L"", 0, {}},
        {"unsafe identifiers left out", L"{\"status\":\"ok\",\"uids\":[\"a\\\" -o x\",\"\",\"b/c\",\"\u00e9\",\"ok1\","
                                        L"\"123456789012345678901234567890123\",\"12345678901234567890123456789012\"]}",
         200, {"ok1", "12345678901234567890123456789012"}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ServerAPI::ParseFileUids(c.body, c.httpCode), c.expected);
    }
}

TEST(ServerApi, HistoryGate) {
    struct Case { const char* name; int64_t last, now; bool due; int64_t lastAfter; };
    const Case kCases[] = {
        {"first ping", 0, 1700000000, true, 1700000000},
        {"59 s later", 1700000000, 1700000059, false, 1700000000},
        {"60 s later", 1700000000, 1700000060, true, 1700000060},
        {"clock went back", 1700000000, 1699999000, false, 1700000000},
        {"past 2038", 2147483600LL, 2147483700LL, true, 2147483700LL},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        int64_t last = c.last;
        EXPECT_EQ(ServerAPI::HistoryPingDue(c.now, last), c.due);
        EXPECT_EQ(last, c.lastAfter);
    }
}

TEST(ServerApi, SiteHostAndPort) {
    struct Case { std::string site, host; int port; };
    const Case kCases[] = {
        {"brivane.app", "brivane.app", 80},
        {"127.0.0.1:18093", "127.0.0.1", 18093},
        {"h:0", "h:0", 80},
        {"h:99999", "h:99999", 80},
        {"h:", "h:", 80},
        {"h:8a", "h:8a", 80},
        {"", "", 80},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.site);
        std::string host;
        int port = -1;
        ServerAPI::SplitSiteHost(c.site, host, port);
        EXPECT_EQ(host, c.host);
        EXPECT_EQ(port, c.port);
    }
    EXPECT_EQ(ServerAPI::SyncPath("{A}"), "/sync.php?appid={A}");
}
