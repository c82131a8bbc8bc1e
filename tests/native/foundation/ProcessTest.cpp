// The runner against real child programs of the native build (/bin/sh).
#ifndef _WIN32
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "foundation/Process.h"
#include "foundation/QuietPeriod.h"

namespace {

struct Outcome {
    std::wstring stdoutText, stderrText;
    long exitCode = 0;
    bool timedOut = false;
    int calls = 0;
    std::wstring outChunks, errChunks;   // the chunks joined, to compare with the texts
    int errChunkCount = 0;
    double seconds = 0;
};

Outcome RunAndWait(const std::wstring& exe, const std::wstring& args, int timeoutMs,
                   const std::wstring& folder = L"") {
    struct State {
        std::mutex mutex;
        std::condition_variable cv;
        Outcome outcome;
    };
    auto state = std::make_shared<State>();
    auto start = std::chrono::steady_clock::now();
    Process process(
        exe, args, folder, timeoutMs,
        [state, start](const std::wstring& out, const std::wstring& err, long code, bool timedOut) {
            std::lock_guard<std::mutex> lock(state->mutex);
            Outcome& o = state->outcome;
            o.stdoutText = out;
            o.stderrText = err;
            o.exitCode = code;
            o.timedOut = timedOut;
            o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            ++o.calls;
            state->cv.notify_all();
        },
        [state](const std::wstring& chunk) {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->outcome.outChunks += chunk;
        },
        [state](const std::wstring& chunk) {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->outcome.errChunks += chunk;
            ++state->outcome.errChunkCount;
        });
    process.RunAsync();
    std::unique_lock<std::mutex> lock(state->mutex);
    EXPECT_TRUE(state->cv.wait_for(lock, std::chrono::seconds(30),
                                   [&] { return state->outcome.calls > 0; }));
    lock.unlock();
    // A second call would arrive right after the first.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    lock.lock();
    return state->outcome;
}

Outcome Shell(const std::wstring& script, int timeoutMs = 0) {
    return RunAndWait(L"/bin/sh", L"-c \"" + script + L"\"", timeoutMs);
}

template <class Predicate>
bool WaitUntil(Predicate done, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace

TEST(Process, ChildWithoutOutput) {
    Outcome o = Shell(L"exit 3");
    EXPECT_EQ(o.calls, 1);
    EXPECT_EQ(o.exitCode, 3);
    EXPECT_FALSE(o.timedOut);
    EXPECT_EQ(o.stdoutText, L"");
    EXPECT_EQ(o.stderrText, L"");
}

TEST(Process, StandardErrorOnly) {
    Outcome o = Shell(L"printf 'first\\n' >&2; sleep 0.1; printf 'last' >&2");
    EXPECT_EQ(o.calls, 1);
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(o.stdoutText, L"");
    EXPECT_EQ(o.stderrText, L"first\nlast");
    EXPECT_EQ(o.errChunks, o.stderrText);   // every chunk passed on, the last included
    EXPECT_GE(o.errChunkCount, 2);
}

TEST(Process, LargeOutputArrivesWholeWithExitCode) {
    // 100000 bytes: far more than one pipe buffer and than one 16384-byte read.
    Outcome o = Shell(L"head -c 100000 /dev/zero | tr '\\0' x; exit 7");
    EXPECT_EQ(o.calls, 1);
    EXPECT_EQ(o.exitCode, 7);
    EXPECT_EQ(o.stdoutText, std::wstring(100000, L'x'));
    EXPECT_EQ(o.outChunks, o.stdoutText);
}

TEST(Process, OutputLeftInThePipeAfterTheEndIsRead) {
    // The child writes 200000 bytes to a grandchild-free pipe and exits at once; most of
    // it is still pending when the runner notices the end.
    Outcome o = Shell(L"head -c 200000 /dev/zero | tr '\\0' y");
    EXPECT_EQ(o.stdoutText.size(), 200000u);
}

TEST(Process, GrandchildHoldingThePipeDoesNotHoldTheRunner) {
    // The background sleep keeps the write end of standard output open after the
    // child has ended.
    Outcome o = Shell(L"sleep 3 & printf done; exit 4");
    EXPECT_EQ(o.exitCode, 4);
    EXPECT_EQ(o.stdoutText, L"done");
    EXPECT_LT(o.seconds, 2.0);
}

TEST(Process, TimeOutReportsStillRunningChild) {
    Outcome o = Shell(L"sleep 5", 300);
    EXPECT_EQ(o.calls, 1);
    EXPECT_TRUE(o.timedOut);
    EXPECT_EQ(o.exitCode, Process::kStillActive);
    EXPECT_LT(o.seconds, 3.0);
}

TEST(Process, NoTimeOutWaitsForTheChild) {
    for (int timeout : {0, -5}) {
        Outcome o = Shell(L"sleep 0.4; printf done", timeout);
        EXPECT_FALSE(o.timedOut);
        EXPECT_EQ(o.stdoutText, L"done");
        EXPECT_GE(o.seconds, 0.35);
    }
}

TEST(Process, MissingExecutableIsAFailure) {
    Outcome o = RunAndWait(L"/nonexistent/brivane-child", L"x", 0);
    EXPECT_EQ(o.calls, 1);
    EXPECT_NE(o.exitCode, 0);
    EXPECT_EQ(o.exitCode, Process::kStartFailed);
    EXPECT_EQ(o.stdoutText, L"");
}

TEST(Process, TooLongCommandLineIsRefused) {
    Outcome o = Shell(L"echo " + std::wstring(5000, L'a'));
    EXPECT_EQ(o.calls, 1);
    EXPECT_EQ(o.exitCode, Process::kStartFailed);
    EXPECT_EQ(o.stdoutText, L"");
}

TEST(Process, CharacterSplitAcrossReadsSurvives) {
    // "é" = C3 A9 written in two parts with a pause, so the runner reads them apart.
    Outcome o = Shell(L"printf '\\303'; sleep 0.2; printf '\\251 ok'; printf '\\377' >&2");
    EXPECT_EQ(o.calls, 1);
    EXPECT_EQ(o.stdoutText, L"\u00E9 ok");
    EXPECT_EQ(o.stderrText, L"\uFFFD");
}

TEST(Process, ChunkIsCutAtNulByte) {
    Outcome o = Shell(L"printf 'ab\\000cd'");
    EXPECT_EQ(o.stdoutText, L"ab");
}

TEST(Process, WorkingFolderAndArguments) {
    std::string dir = testing::TempDir();
    Outcome o = RunAndWait(L"/bin/sh", L"-c \"pwd; printf '%s|' \\\"$0\\\" \\\"$1\\\"\" \"a b\" c\\\"d",
                           0, std::wstring(dir.begin(), dir.end()));
    std::wstring expectDir(dir.begin(), dir.end());
    if (!expectDir.empty() && expectDir.back() == L'/') expectDir.pop_back();
    EXPECT_EQ(o.stdoutText, expectDir + L"\na b|c\"d|");
}

// The exit path waits for children requested just before it: a start counts as pending
// from RunAsync until the child exists (or cannot be made), not until it ends.
TEST(Process, PendingStartsEndWhenTheChildExistsNotWhenItEnds) {
    auto finished = std::make_shared<std::atomic<int>>(0);
    auto onFinished = [finished](const std::wstring&, const std::wstring&, long, bool) { ++*finished; };
    auto nothing = [](const std::wstring&) {};
    ASSERT_EQ(Process::PendingStarts(), 0);

    Process(L"/bin/sh", L"-c \"sleep 2\"", L"", 0, onFinished, nothing, nothing).RunAsync();
    Process(L"/no/such/program", L"", L"", 0, onFinished, nothing, nothing).RunAsync();
    EXPECT_GE(Process::PendingStarts(), 1);   // counted before RunAsync returns
    EXPECT_TRUE(Process::WaitForPendingStarts(10000));
    EXPECT_EQ(Process::PendingStarts(), 0);
    // The failed start has reported; the sleeping child is still running.
    EXPECT_TRUE(WaitUntil([&] { return finished->load() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(finished->load(), 1);

    // A runner used in place is never counted.
    Process(L"/bin/sh", L"-c \"exit 0\"", L"", 0, onFinished, nothing, nothing).Run();
    EXPECT_EQ(Process::PendingStarts(), 0);
    EXPECT_TRUE(Process::WaitForPendingStarts(0));
    EXPECT_TRUE(WaitUntil([&] { return finished->load() == 3; }, 10000));
}

// The exit waits, bounded, for a run marked to finish before it (an analytics event): until
// its child has ended and its callback has returned, not merely until it has started.
// Unmarked runs never hold the exit beyond their start.
TEST(Process, WaitBeforeExitWaitsForMarkedRunsToEnd) {
    auto finished = std::make_shared<std::atomic<int>>(0);
    auto onFinished = [finished](const std::wstring&, const std::wstring&, long, bool) { ++*finished; };
    auto nothing = [](const std::wstring&) {};
    ASSERT_EQ(Process::UnfinishedExitRuns(), 0);
    ASSERT_TRUE(Process::WaitForPendingStarts(10000));

    Process(L"/bin/sh", L"-c \"sleep 5\"", L"", 0, onFinished, nothing, nothing).RunAsync();
    Process marked(L"/bin/sh", L"-c \"sleep 1\"", L"", 0, onFinished, nothing, nothing);
    marked.SetFinishBeforeExit();
    auto start = std::chrono::steady_clock::now();
    marked.RunAsync();
    EXPECT_EQ(Process::UnfinishedExitRuns(), 1);   // counted before RunAsync returns
    // Started, still running: a short wait gives up and says so.
    EXPECT_TRUE(Process::WaitForPendingStarts(10000));
    EXPECT_FALSE(Process::WaitBeforeExit(100));
    EXPECT_EQ(Process::UnfinishedExitRuns(), 1);
    EXPECT_EQ(finished->load(), 0);
    EXPECT_TRUE(Process::WaitBeforeExit(10000));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 0.9) << "returned before the marked child ended";
    EXPECT_EQ(finished->load(), 1) << "the marked run's callback has returned; the unmarked one still runs";
    EXPECT_EQ(Process::UnfinishedExitRuns(), 0);

    // A marked run whose child cannot be started ends at once.
    Process missing(L"/no/such/program", L"", L"", 0, onFinished, nothing, nothing);
    missing.SetFinishBeforeExit();
    missing.RunAsync();
    EXPECT_TRUE(Process::WaitBeforeExit(10000));
    EXPECT_EQ(finished->load(), 2);
}

// While a screenshot is being taken (a quiet period), asynchronous children wait: their
// start would compete with the shot. They start as soon as it ends.
TEST(Process, AsynchronousStartWaitsForTheQuietPeriodToEnd) {
    auto finished = std::make_shared<std::atomic<int>>(0);
    auto onFinished = [finished](const std::wstring&, const std::wstring&, long, bool) { ++*finished; };
    auto nothing = [](const std::wstring&) {};
    {
        QuietPeriod::Scope shot;
        Process(L"/bin/sh", L"-c \"exit 0\"", L"", 0, onFinished, nothing, nothing).RunAsync();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(finished->load(), 0) << "the child ran during the quiet period";
        EXPECT_EQ(Process::PendingStarts(), 1);
    }
    EXPECT_TRUE(WaitUntil([&] { return finished->load() == 1; }, 10000));
    EXPECT_EQ(Process::PendingStarts(), 0);
}

#endif
