#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <filesystem>

#include "foundation/Log.h"
#include "foundation/Utf.h"

namespace {

// Opens a log file in a fresh folder under the test temp dir and returns its path.
class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string base = ::testing::TempDir();
        if (!base.empty() && base.back() != '/' && base.back() != '\\') base += '/';
#ifdef _WIN32
        const char* sep = "\\";
#else
        const char* sep = "/";
#endif
        std::string root = base + "logtest_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(std::filesystem::u8path(root));
        m_folder = root + sep + "nested" + sep + "log";
        g_logFolder = Utf8ToWide(m_folder);
        OpenLogFile();
        ASSERT_TRUE(IsLogFileOpen()) << m_folder;
    }
    void TearDown() override { CloseLogFile(); }

    std::string ReadLog() {
        CloseLogFile();
        return ReadSingleFile();
    }

    std::string ReadSingleFile();

    std::string m_folder;
};

}  // namespace

std::string LogFileTest::ReadSingleFile() {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::u8path(m_folder))) {
        files.push_back(e.path());
    }
    EXPECT_EQ(files.size(), 1u);
    if (files.empty()) return {};
    std::ifstream in(files[0], std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(LogFormat, PrefixAndFileName) {
    EXPECT_EQ(LogPrefix(9, 5, 7), "09:05:07: ");
    // A console gets each call in one write, with the line breaks of the runtime's text mode.
    EXPECT_EQ(LogConsoleText("09:05:07: ", "Hotkey: FullScreenshot\n"), "09:05:07: Hotkey: FullScreenshot\r\n");
    EXPECT_EQ(LogConsoleText("", "a\nb\n\n"), "a\r\nb\r\n\r\n");
    EXPECT_EQ(LogConsoleText("x", "no break"), "xno break");
    EXPECT_EQ(LogFileName(2021, 10, 12, 14, 30, 5), L"cvxlog_211012_143005.log");
    EXPECT_EQ(LogFileName(2005, 1, 2, 3, 4, 5), L"cvxlog_50102_030405.log");
}

TEST_F(LogFileTest, CreatesMissingFoldersAndWritesPrefixedLines) {
    Log("Hotkey: %s\n", "FullScreenshot");
    Log("no newline ");
    Log("%d\n", 42);
    std::string text = ReadLog();
    ASSERT_EQ(text.size(), 10 + 23 + 10 + 11 + 10 + 3);
    EXPECT_EQ(text.substr(2, 1), ":");
    EXPECT_EQ(text.substr(10, 23), "Hotkey: FullScreenshot\n");
    EXPECT_EQ(text.substr(43, 11), "no newline ");
    EXPECT_EQ(text.substr(64), "42\n");
}

TEST_F(LogFileTest, LongMessageIsCutInTheFile) {
    std::string big(5000, 'x');
    big += "\n";
    testing::internal::CaptureStdout();
    Log("%s", big.c_str());
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(console.size(), 10 + big.size());
    EXPECT_EQ(console.substr(10), big);
    std::string text = ReadLog();
    EXPECT_EQ(text.size(), kLogLineMax);
    EXPECT_EQ(text.substr(10), std::string(kLogMessageMax, 'x'));
}

TEST_F(LogFileTest, ConcurrentCallsWriteWholeLines) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 1000; ++i) Log("thread %d line %04d end\n", t, i);
        });
    }
    for (auto& th : threads) th.join();
    std::istringstream lines(ReadLog());
    std::string line;
    int count = 0;
    std::vector<int> perThread(8, 0);
    while (std::getline(lines, line)) {
        int t = -1, i = -1;
        char end[4] = {};
        ASSERT_EQ(std::sscanf(line.c_str() + 10, "thread %d line %d %3s", &t, &i, end), 3) << line;
        ASSERT_EQ(std::string(end), "end") << line;
        ASSERT_TRUE(t >= 0 && t < 8);
        EXPECT_EQ(i, perThread[t]++) << "lines of one thread stay in order";
        ++count;
    }
    EXPECT_EQ(count, 8000);
}

TEST(Log, WithoutFileWritesOnlyToConsole) {
    CloseLogFile();
    EXPECT_FALSE(IsLogFileOpen());
    testing::internal::CaptureStdout();
    Log("console only %s\n", "ok");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.substr(10), "console only ok\n");
}
