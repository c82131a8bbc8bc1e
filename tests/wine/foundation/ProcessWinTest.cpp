// The runner against real Windows children: this test program itself, started with
// "--brivane-child=<what>", acts the child before GoogleTest runs.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Process.h"

namespace {

void WriteHandle(DWORD which, const char* data, size_t size) {
    DWORD written = 0;
    WriteFile(GetStdHandle(which), data, static_cast<DWORD>(size), &written, nullptr);
}

// Runs before main when this program was started as a child.
struct ChildMode {
    ChildMode() {
        std::wstring line = GetCommandLineW();
        const std::wstring marker = L"--brivane-child=";
        size_t pos = line.find(marker);
        if (pos == std::wstring::npos) return;
        std::wstring what = line.substr(pos + marker.size());
        what = what.substr(0, what.find(L' '));
        if (what == L"silent") ExitProcess(3);
        if (what == L"stderr") {
            WriteHandle(STD_ERROR_HANDLE, "first\n", 6);
            Sleep(100);
            WriteHandle(STD_ERROR_HANDLE, "last", 4);
            ExitProcess(0);
        }
        if (what == L"big") {
            std::string data(100000, 'x');
            for (size_t i = 0; i < data.size(); i += 1000) data[i] = char('a' + (i / 1000) % 26);
            WriteHandle(STD_OUTPUT_HANDLE, data.data(), data.size());
            ExitProcess(7);
        }
        if (what == L"sleep") {
            Sleep(5000);
            ExitProcess(0);
        }
        if (what == L"grandchild") {
            // A grandchild that inherits both pipes and outlives this child.
            wchar_t self[MAX_PATH];
            GetModuleFileNameW(nullptr, self, MAX_PATH);
            std::wstring cmd = L"\"" + std::wstring(self) + L"\" --brivane-child=sleep";
            std::vector<wchar_t> buffer(cmd.begin(), cmd.end());
            buffer.push_back(0);
            STARTUPINFOW si = {};
            si.cb = sizeof(si);
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
            si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
            PROCESS_INFORMATION pi = {};
            if (CreateProcessW(self, buffer.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &si, &pi)) {
                CloseHandle(pi.hThread);
                CloseHandle(pi.hProcess);
            }
            WriteHandle(STD_OUTPUT_HANDLE, "done", 4);
            ExitProcess(4);
        }
        if (what == L"split") {
            WriteHandle(STD_OUTPUT_HANDLE, "\xC3", 1);
            Sleep(200);
            WriteHandle(STD_OUTPUT_HANDLE, "\xA9 ok", 4);
            WriteHandle(STD_ERROR_HANDLE, "\xFF", 1);
            ExitProcess(0);
        }
        if (what == L"args") {
            // Echo the arguments after the marker, one per line.
            int argc = 0;
            LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
            std::string out;
            for (int i = 2; i < argc; ++i) {
                char buf[512];
                int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, buf, sizeof(buf), nullptr, nullptr);
                out += std::string(buf, n > 0 ? n - 1 : 0) + "\n";
            }
            wchar_t dir[MAX_PATH];
            GetCurrentDirectoryW(MAX_PATH, dir);
            char narrowDir[MAX_PATH * 3];
            WideCharToMultiByte(CP_UTF8, 0, dir, -1, narrowDir, sizeof(narrowDir), nullptr, nullptr);
            out += narrowDir;
            WriteHandle(STD_OUTPUT_HANDLE, out.data(), out.size());
            ExitProcess(0);
        }
        ExitProcess(99);
    }
};
ChildMode g_childMode;

std::wstring SelfPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

struct Outcome {
    std::wstring stdoutText, stderrText, outChunks, errChunks;
    long exitCode = 0;
    bool timedOut = false;
    int calls = 0;
    double seconds = 0;
};

Outcome RunChild(const std::wstring& exe, const std::wstring& args, int timeoutMs,
                 const std::wstring& folder = L"") {
    struct State { std::mutex m; std::condition_variable cv; Outcome o; };
    auto state = std::make_shared<State>();
    auto start = std::chrono::steady_clock::now();
    Process process(
        exe, args, folder, timeoutMs,
        [state, start](const std::wstring& out, const std::wstring& err, long code, bool timedOut) {
            std::lock_guard<std::mutex> lock(state->m);
            state->o.stdoutText = out;
            state->o.stderrText = err;
            state->o.exitCode = code;
            state->o.timedOut = timedOut;
            state->o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            ++state->o.calls;
            state->cv.notify_all();
        },
        [state](const std::wstring& c) { std::lock_guard<std::mutex> l(state->m); state->o.outChunks += c; },
        [state](const std::wstring& c) { std::lock_guard<std::mutex> l(state->m); state->o.errChunks += c; });
    process.RunAsync();
    std::unique_lock<std::mutex> lock(state->m);
    EXPECT_TRUE(state->cv.wait_for(lock, std::chrono::seconds(60), [&] { return state->o.calls > 0; }));
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    lock.lock();
    return state->o;
}

}  // namespace

TEST(ProcessWin, ChildWithoutOutput) {
    Outcome o = RunChild(SelfPath(), L"--brivane-child=silent", 0);
    EXPECT_EQ(o.calls, 1);
    EXPECT_EQ(o.exitCode, 3);
    EXPECT_EQ(o.stdoutText, L"");
    EXPECT_EQ(o.stderrText, L"");
}

TEST(ProcessWin, StandardErrorOnly) {
    Outcome o = RunChild(SelfPath(), L"--brivane-child=stderr", 0);
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(o.stdoutText, L"");
    EXPECT_EQ(o.stderrText, L"first\nlast");
    EXPECT_EQ(o.errChunks, o.stderrText);
}

TEST(ProcessWin, LargeOutputArrivesWholeWithExitCode) {
    Outcome o = RunChild(SelfPath(), L"--brivane-child=big", 0);
    EXPECT_EQ(o.exitCode, 7);
    ASSERT_EQ(o.stdoutText.size(), 100000u);
    EXPECT_EQ(o.stdoutText[0], L'a');
    EXPECT_EQ(o.stdoutText[99000], L'a' + 99 % 26);
    EXPECT_EQ(o.outChunks, o.stdoutText);
}

TEST(ProcessWin, GrandchildHoldingThePipeDoesNotHoldTheRunner) {
    Outcome o = RunChild(SelfPath(), L"--brivane-child=grandchild", 0);
    EXPECT_EQ(o.exitCode, 4);
    EXPECT_EQ(o.stdoutText, L"done");
    EXPECT_LT(o.seconds, 4.0);
}

TEST(ProcessWin, TimeOutReportsStillRunningChild) {
    Outcome o = RunChild(SelfPath(), L"--brivane-child=sleep", 300);
    EXPECT_TRUE(o.timedOut);
    EXPECT_EQ(o.exitCode, 259);
    EXPECT_LT(o.seconds, 4.0);
}

TEST(ProcessWin, MissingExecutableIsOneFailureWithNonZeroCode) {
    Outcome o = RunChild(L"C:\\no\\such\\program.exe", L"x", 0);
    EXPECT_EQ(o.calls, 1);
    EXPECT_NE(o.exitCode, 0);
    EXPECT_EQ(o.stdoutText, L"");
}

TEST(ProcessWin, CharacterSplitAcrossReadsSurvives) {
    Outcome o = RunChild(SelfPath(), L"--brivane-child=split", 0);
    EXPECT_EQ(o.stdoutText, L"\u00E9 ok");
    EXPECT_EQ(o.stderrText, L"\uFFFD");
}

TEST(ProcessWin, ArgumentsAndWorkingFolderReachTheChild) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = temp;
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    Outcome o = RunChild(SelfPath(), L"--brivane-child=args \"a b\" c\\\"d \u00E9", 0, folder);
    EXPECT_EQ(o.stdoutText, L"a b\nc\"d\n\u00E9\n" + folder);
}

TEST(ProcessWin, TooLongCommandLineIsRefused) {
    Outcome o = RunChild(SelfPath(), L"--brivane-child=silent " + std::wstring(5000, L'a'), 0);
    EXPECT_EQ(o.calls, 1);
    EXPECT_EQ(o.exitCode, Process::kStartFailed);
}
