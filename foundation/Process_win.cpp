#include <windows.h>

#include <chrono>
#include <vector>

#include "foundation/Log.h"
#include "foundation/Process.h"
#include "foundation/ProcessPipeReader.h"
#include "foundation/WinHandles.h"

namespace {

// An anonymous pipe whose write end the child inherits and whose read end it does not.
bool CreateChildPipe(UniqueHandle& readEnd, UniqueHandle& writeEnd) {
    SECURITY_ATTRIBUTES sa = {};
    sa.nLength = sizeof(sa);
    sa.bInheritHandle = TRUE;
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &sa, 0)) {
        Log("Process: Failed to create Out pipe\n");
        return false;
    }
    if (!SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0)) {
        Log("Process: Failed SetHandleInformation\n");
        return false;
    }
    return true;
}

}  // namespace

int ReadPipeNow(PipeHandle pipe, char* buffer, int capacity) {
    HANDLE handle = reinterpret_cast<HANDLE>(pipe);
    DWORD available = 0;
    if (!PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr)) return -1;
    if (available == 0) return 0;
    DWORD read = 0;
    if (!ReadFile(handle, buffer, static_cast<DWORD>(capacity), &read, nullptr) || read == 0) {
        return -1;
    }
    return static_cast<int>(read);
}

void Process::RunChild(Result& result) const {
    UniqueHandle outRead, outWrite, errRead, errWrite, process, thread;
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
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = outWrite.get();
    si.hStdError = errWrite.get();
    PROCESS_INFORMATION pi = {};
    const BOOL created = CreateProcessW(m_exePath.c_str(), buffer.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr,
                                        m_workingFolder.empty() ? nullptr : m_workingFolder.c_str(),
                                        &si, &pi);
    SettleStart();
    if (!created) {
        Log("Process: Failed CreateProcess\n");
        result.exitCode = kStartFailed;
        return;
    }
    process.reset(pi.hProcess);
    thread.reset(pi.hThread);

    ProcessPipeReader outReader(reinterpret_cast<PipeHandle>(outRead.get()));
    ProcessPipeReader errReader(reinterpret_cast<PipeHandle>(errRead.get()));
    const auto start = std::chrono::steady_clock::now();
    bool broken = false;
    DWORD lastWait = WAIT_TIMEOUT;
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
        lastWait = WaitForSingleObject(process.get(), 10);
        if (lastWait != WAIT_TIMEOUT) break;
    }

    DWORD exitCode = 0;
    bool haveExitCode = GetExitCodeProcess(process.get(), &exitCode) != 0;
    if (!haveExitCode) Log("Process: Failed to get exit code\n");
    result.exitCode = haveExitCode ? static_cast<long>(exitCode) : kStartFailed;

    // With our copies of the write ends closed, the pipes break once the child (and any
    // grandchild holding them) is gone; read everything still pending.
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
    } else if (lastWait != WAIT_OBJECT_0) {
        Log("Process: Not signaled\n");
    }
}
