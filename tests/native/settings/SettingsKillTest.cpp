// A save killed at any moment leaves the complete old or the complete new file.
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <random>

#include "SettingsTestSupport.h"

using namespace settings_test;

TEST_F(SettingsTest, SaveKilledAtRandomTimesLeavesACompleteFile) {
    const std::string initial = "{\"app_id\":\"{12345678-9ABC-DEF0-1234-56789ABCDEF0}\"}";
    WriteSettings(initial);
    {
        auto m = Load();
        m->SetJpegQuality(1);
        ASSERT_TRUE(m->Flush());
    }
    std::mt19937 rng(20261210);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        fflush(stdout);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (!freopen("/dev/null", "w", stdout)) _exit(2);
            SaveUntilKilled(m_path);
        }
        usleep(2000 + rng() % 30000);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));   // it was still saving
        ExpectCompleteSettings(m_dir / "settings.json", L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    }
    // The next start cleans up what a killed save left behind.
    auto m = Load();
    EXPECT_EQ(m->GetAppId(), L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    EXPECT_EQ(FolderEntries(m_dir), std::vector<std::string>{"settings.json"});
}
#endif
