#include "foundation/Process.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <thread>

#include "foundation/Log.h"
#include "foundation/QuietPeriod.h"

Process::Process(std::wstring exePath, std::wstring commandLine, std::wstring workingFolder,
                 int timeoutMs, FinishedCallback onFinished, ChunkCallback onStdout,
                 ChunkCallback onStderr)
    : m_exePath(std::move(exePath)),
      m_commandLine(std::move(commandLine)),
      m_workingFolder(std::move(workingFolder)),
      m_timeoutMs(timeoutMs),
      m_onFinished(std::move(onFinished)),
      m_onStdout(std::move(onStdout)),
      m_onStderr(std::move(onStderr)) {}

std::wstring Process::FullCommandLine() const {
    return L"\"" + m_exePath + L"\" " + m_commandLine;
}

namespace {
std::atomic<int> g_pendingStarts{0};
std::atomic<int> g_unfinishedExitRuns{0};
// How long a runner holds its child back while a screenshot is being taken (a shot takes
// a few hundred milliseconds at most; past this the child starts anyway).
constexpr int kQuietWaitMs = 1500;
}

int Process::PendingStarts() {
    return g_pendingStarts.load();
}

int Process::UnfinishedExitRuns() {
    return g_unfinishedExitRuns.load();
}

namespace {
template <typename Done>
bool WaitUntil(int timeoutMs, Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
}  // namespace

bool Process::WaitForPendingStarts(int timeoutMs) {
    return WaitUntil(timeoutMs, [] { return g_pendingStarts.load() == 0; });
}

bool Process::WaitBeforeExit(int timeoutMs) {
    return WaitUntil(timeoutMs, [] {
        return g_pendingStarts.load() == 0 && g_unfinishedExitRuns.load() == 0;
    });
}

void Process::SettleStart() const {
    if (m_startPending) {
        m_startPending = false;
        g_pendingStarts--;
    }
    if (m_turn) {
        m_turn->Started();
        m_turn.reset();
    }
}

void Process::RunAsync() const {
    Process copy = *this;
    copy.m_startPending = true;
    // Taken here, on the requesting thread: children held back start in request order.
    copy.m_turn = std::make_shared<QuietPeriod::Turn>();
    g_pendingStarts++;
    const bool awaited = m_finishBeforeExit;
    if (awaited) g_unfinishedExitRuns++;
    try {
        std::thread([copy, awaited]() {
            copy.m_turn->Wait(kQuietWaitMs);
            copy.Run();
            if (awaited) g_unfinishedExitRuns--;
        }).detach();
    } catch (const std::exception& e) {
        g_pendingStarts--;
        if (awaited) g_unfinishedExitRuns--;
        // No thread to run on: report the failed start here, still exactly once.
        Log("Process: Failed to start the runner thread: %s\n", e.what());
        try {
            if (m_onFinished) m_onFinished(L"", L"", kStartFailed, false);
        } catch (...) {
            Log("Process: finished callback threw\n");
        }
    }
}

void Process::Run() const {
    Result result;
    try {
        RunChild(result);
    } catch (const std::exception& e) {
        Log("Process: unhandled exception: %s\n", e.what());
        if (result.exitCode == 0) result.exitCode = kStartFailed;
    } catch (...) {
        Log("Process: unhandled exception\n");
        if (result.exitCode == 0) result.exitCode = kStartFailed;
    }
    SettleStart();   // on the paths that ended before any child was tried
    // Called once, after any unwinding has finished.
    try {
        if (m_onFinished) m_onFinished(result.stdoutText, result.stderrText, result.exitCode,
                                       result.timedOut);
    } catch (const std::exception& e) {
        Log("Process: finished callback threw: %s\n", e.what());
    } catch (...) {
        Log("Process: finished callback threw\n");
    }
}
