#pragma once
#include <functional>
#include <memory>
#include <string>

#include "foundation/QuietPeriod.h"

// Runs one console program without a window, collects its standard output and standard
// error as text while it runs and reports the end once. A value type: RunAsync copies
// it into a detached thread, so the caller's object may go away at once.
//
// Child output is UTF-8. A character split across two reads is kept whole, and bytes
// that are not UTF-8 become U+FFFD, so no output can end the runner early.
class Process {
public:
    // Called exactly once, on the runner's thread, outside any unwinding. exitCode is
    // the child's, 259 when it was still running at the time-out, and kStartFailed when
    // no child could be started (so callers that require 0 see a failure).
    using FinishedCallback = std::function<void(const std::wstring& stdoutText,
                                                const std::wstring& stderrText,
                                                long exitCode, bool timedOut)>;
    using ChunkCallback = std::function<void(const std::wstring& chunk)>;

    static constexpr long kStartFailed = -1;
    static constexpr long kStillActive = 259;
    // The whole line handed to the child: quoted executable, a blank, the arguments.
    static constexpr size_t kMaxCommandLine = 4095;

    Process(std::wstring exePath, std::wstring commandLine, std::wstring workingFolder,
            int timeoutMs, FinishedCallback onFinished, ChunkCallback onStdout,
            ChunkCallback onStderr);

    // Starts Run on a new detached thread and returns at once. Until that thread has
    // created the child (or failed to), the start counts as pending.
    void RunAsync() const;

    // Marks the run as one whose child must finish before the program ends (an analytics
    // event has to reach its collector): from RunAsync until its child has ended and
    // onFinished has returned, the run counts as unfinished for WaitBeforeExit.
    void SetFinishBeforeExit() { m_finishBeforeExit = true; }

    // Starts requested through RunAsync whose child has not been created yet.
    static int PendingStarts();
    // Runs marked SetFinishBeforeExit and started through RunAsync that have not ended.
    static int UnfinishedExitRuns();
    // Waits (polling every 10 ms, at most timeoutMs in all) until no start is pending and
    // no run marked SetFinishBeforeExit is unfinished; true when none is left.
    static bool WaitBeforeExit(int timeoutMs);
    // Waits (polling every 10 ms, at most timeoutMs) until no start is pending, so that
    // children requested just before the process ends are really started; true when none
    // is left.
    static bool WaitForPendingStarts(int timeoutMs);

    // The thread body: starts the child, polls both pipes every 10 ms until the child
    // ends or the time-out passes, reads what is left, and calls onFinished. A child
    // that outlives its time-out keeps running. Never throws. Public so that a caller
    // that already owns a thread (and tests) can run it in place.
    void Run() const;

    // The full command line given to the child, as the runner builds it.
    std::wstring FullCommandLine() const;

private:
    struct Result {
        std::wstring stdoutText;
        std::wstring stderrText;
        long exitCode = 0;
        bool timedOut = false;
    };
    // Platform part of Run; may throw (Run catches). Calls SettleStart once the child
    // exists or cannot be created.
    void RunChild(Result& result) const;
    // Ends this runner's pending start (once; nothing for a Run not started by RunAsync).
    void SettleStart() const;

    std::wstring m_exePath;
    std::wstring m_commandLine;
    std::wstring m_workingFolder;
    int m_timeoutMs;
    FinishedCallback m_onFinished;
    ChunkCallback m_onStdout;
    ChunkCallback m_onStderr;
    bool m_finishBeforeExit = false;
    // Set on the copy that RunAsync hands to its thread; only that thread touches them.
    mutable bool m_startPending = false;
    mutable std::shared_ptr<QuietPeriod::Turn> m_turn;
};
