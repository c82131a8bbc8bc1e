#include "foundation/Process.h"

#include <exception>
#include <thread>

#include "foundation/Log.h"

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

void Process::RunAsync() const {
    Process copy = *this;
    try {
        std::thread([copy]() { copy.Run(); }).detach();
    } catch (const std::exception& e) {
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
