// The runner for the native build (Linux), so that the code above it can be exercised
// natively. The command line is split with the Windows rules, as a Windows child would
// see it.
#ifndef _WIN32

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "foundation/Log.h"
#include "foundation/PosixHandles.h"
#include "foundation/Process.h"
#include "foundation/ProcessArguments.h"
#include "foundation/ProcessPipeReader.h"
#include "foundation/Utf.h"

namespace {

bool CreateChildPipe(UniqueFd& readEnd, UniqueFd& writeEnd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        Log("Process: Failed to create Out pipe\n");
        return false;
    }
    readEnd.reset(fds[0]);
    writeEnd.reset(fds[1]);
    if (fcntl(readEnd.get(), F_SETFL, O_NONBLOCK) != 0) {
        Log("Process: Failed SetHandleInformation\n");
        return false;
    }
    return true;
}

}  // namespace

int ReadPipeNow(PipeHandle pipe, char* buffer, int capacity) {
    ssize_t n = read(static_cast<int>(pipe), buffer, static_cast<size_t>(capacity));
    if (n > 0) return static_cast<int>(n);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    return -1;   // end of file: every writer is gone
}

void Process::RunChild(Result& result) const {
    UniqueFd outRead, outWrite, errRead, errWrite, statusRead, statusWrite;
    if (!CreateChildPipe(outRead, outWrite) || !CreateChildPipe(errRead, errWrite)) {
        result.exitCode = kStartFailed;
        return;
    }
    std::wstring commandLine = FullCommandLine();
    if (commandLine.size() > kMaxCommandLine) {
        Log("Process: command line of %u characters is too long\n",
            static_cast<unsigned>(commandLine.size()));
        Log("Process: Failed CreateProcess\n");
        result.exitCode = kStartFailed;
        return;
    }
    int statusFds[2];
    if (pipe2(statusFds, O_CLOEXEC) != 0) {
        Log("Process: Failed CreateProcess\n");
        result.exitCode = kStartFailed;
        return;
    }
    statusRead.reset(statusFds[0]);
    statusWrite.reset(statusFds[1]);

    std::vector<std::string> args;
    args.push_back(WideToUtf8(m_exePath));
    for (const std::wstring& arg : SplitProcessArguments(m_commandLine)) {
        args.push_back(WideToUtf8(arg));
    }
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    std::string folder = WideToUtf8(m_workingFolder);

    pid_t pid = fork();
    if (pid < 0) {
        Log("Process: Failed CreateProcess\n");
        result.exitCode = kStartFailed;
        return;
    }
    if (pid == 0) {
        // Child: only async-signal-safe calls from here on.
        int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, 0);
        dup2(outWrite.get(), 1);
        dup2(errWrite.get(), 2);
        if (!folder.empty() && chdir(folder.c_str()) != 0) {
            int err = errno;
            (void)!write(statusWrite.get(), &err, sizeof(err));
            _exit(127);
        }
        execv(argv[0], argv.data());
        int err = errno;
        (void)!write(statusWrite.get(), &err, sizeof(err));
        _exit(127);
    }
    statusWrite.reset();
    int childErrno = 0;
    ssize_t got;
    do {
        got = read(statusRead.get(), &childErrno, sizeof(childErrno));
    } while (got < 0 && errno == EINTR);
    SettleStart();
    if (got > 0) {
        waitpid(pid, nullptr, 0);
        Log("Process: Failed CreateProcess\n");
        result.exitCode = kStartFailed;
        return;
    }

    ProcessPipeReader outReader(outRead.get());
    ProcessPipeReader errReader(errRead.get());
    const auto start = std::chrono::steady_clock::now();
    bool broken = false;
    bool ended = false;
    int status = 0;
    std::wstring chunk;
    for (;;) {
        if (!outReader.ReadAvailable(chunk)) { broken = true; break; }
        if (!chunk.empty()) { result.stdoutText += chunk; if (m_onStdout) m_onStdout(chunk); }
        if (!errReader.ReadAvailable(chunk)) { broken = true; break; }
        if (!chunk.empty()) { result.stderrText += chunk; if (m_onStderr) m_onStderr(chunk); }
        if (m_timeoutMs > 0) {
            auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start).count();
            if (elapsed >= m_timeoutMs) { result.timedOut = true; break; }
        }
        pid_t waited = waitpid(pid, &status, WNOHANG);
        if (waited == pid) { ended = true; break; }
        if (waited < 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ended && !result.timedOut && !broken) {
        // Unexpected wait failure: treat like the Windows "not signaled" end.
        Log("Process: Not signaled\n");
    }
    if (!ended && waitpid(pid, &status, WNOHANG) == pid) ended = true;
    if (ended) {
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else {
        result.exitCode = kStillActive;
        // Reap the child whenever it ends, so that it leaves no zombie behind.
        std::thread([pid]() { waitpid(pid, nullptr, 0); }).detach();
    }

    outWrite.reset();
    errWrite.reset();
    chunk = outReader.ReadRest();
    if (!chunk.empty()) { result.stdoutText += chunk; if (m_onStdout) m_onStdout(chunk); }
    chunk = errReader.ReadRest();
    if (!chunk.empty()) { result.stderrText += chunk; if (m_onStderr) m_onStderr(chunk); }

    if (result.timedOut) {
        Log("Process: Timeout\n");
    } else if (broken) {
        Log("Process: broken\n");
    }
}

#endif  // !_WIN32
