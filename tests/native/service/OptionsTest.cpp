// The command line of brivane-service.
#include "service/logic/Options.h"

#include <gtest/gtest.h>

using namespace service;

TEST(Options, DefaultsAndEveryOption) {
    Options defaults;
    ASSERT_TRUE(ParseOptions({}, defaults, nullptr));
    ASSERT_EQ(defaults.listen.size(), 1u);
    EXPECT_EQ(defaults.listen[0].host, "127.0.0.1");
    EXPECT_EQ(defaults.listen[0].port, 8080);
    EXPECT_EQ(defaults.maxUploadSize, 2147483648ULL);
    EXPECT_EQ(defaults.latestVersion, "0.0.0.0");

    Options o;
    std::string error;
    ASSERT_TRUE(ParseOptions({"--listen", "0.0.0.0:80", "--listen=[::1]:8081", "--data", "/srv/b",
                              "--public-url=https://c.example.org/", "--max-upload-size", "1048576",
                              "--latest-version", "3.10.0.60", "--threads", "8"},
                             o, &error)) << error;
    ASSERT_EQ(o.listen.size(), 2u);
    EXPECT_EQ(o.listen[0].host, "0.0.0.0");
    EXPECT_EQ(o.listen[0].port, 80);
    EXPECT_EQ(o.listen[1].host, "::1");
    EXPECT_EQ(o.listen[1].port, 8081);
    EXPECT_EQ(o.dataDir, "/srv/b");
    EXPECT_EQ(o.publicUrl, "https://c.example.org");
    EXPECT_EQ(o.maxUploadSize, 1048576u);
    EXPECT_EQ(o.latestVersion, "3.10.0.60");
    EXPECT_EQ(o.threads, 8);
    EXPECT_FALSE(o.help);

    Options help;
    ASSERT_TRUE(ParseOptions({"--help"}, help, nullptr));
    EXPECT_TRUE(help.help);
    EXPECT_NE(UsageText().find("--max-upload-size BYTES"), std::string::npos);
}

TEST(Options, RefusesValuesOfTheWrongForm) {
    const std::vector<std::vector<std::string>> kBad = {
        {"--listen"}, {"--listen", "8080"}, {"--listen", ":8080"}, {"--listen", "h:99999"}, {"--listen", "::1:80"},
        {"--listen", "h:x"}, {"--listen", "a b:80"}, {"--data", ""}, {"--public-url", "ftp://x"},
        {"--public-url", "http://x/\"><script>"}, {"--public-url", "http://x y"}, {"--public-url", "http://x/{}"},
        {"--public-url", "http://"}, {"--public-url", "http://" + std::string(600, 'a') + ".org"},
        {"--max-upload-size", "0"}, {"--max-upload-size", "-1"},
        {"--max-upload-size", "12k"}, {"--latest-version", ""}, {"--latest-version", "3.1\"0"},
        {"--latest-version", "v3"}, {"--threads", "0"}, {"--threads", "5000"}, {"--verbose"}, {"extra"},
    };
    for (const auto& args : kBad) {
        SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
        Options o;
        std::string error;
        EXPECT_FALSE(ParseOptions(args, o, &error));
        EXPECT_FALSE(error.empty());
    }
}
