// A second start hands its command line to the first instance and exits. The second
// start is this test program itself, started with "--brivane-second=<name>".
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/SingleInstanceApp.h"

namespace {

struct SecondStartMode {
    SecondStartMode() {
        std::wstring line = GetCommandLineW();
        const std::wstring marker = L"--brivane-second=";
        size_t pos = line.find(marker);
        if (pos == std::wstring::npos) return;
        std::wstring name = line.substr(pos + marker.size());
        name = name.substr(0, name.find(L' '));
        SingleInstanceApp app(nullptr, name);
        // 0: handed over as a second instance; 1: wrongly became the owner.
        ExitProcess(app.IsFirstInstance() ? 1 : 0);
    }
};
SecondStartMode g_secondStartMode;

std::wstring UniqueName() {
    return L"brivane-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount());
}

// Starts this program as a second instance with `extra` arguments; returns its exit
// code and whether it ended within 20 s.
DWORD StartSecond(const std::wstring& name, const std::wstring& extra, std::wstring& commandLine,
                  bool& ended) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    commandLine = L"\"" + std::wstring(self) + L"\" --brivane-second=" + name + L" " + extra;
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(self, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ended = false;
        return 0xFFFFFFFF;
    }
    ended = WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0;
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

// Waits for the registered thread message on this thread.
bool WaitForHandOver(int ms) {
    DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < static_cast<DWORD>(ms)) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.hwnd == nullptr && msg.message == g_singleInstanceMessage) return true;
        }
        Sleep(10);
    }
    return false;
}

}  // namespace

TEST(SingleInstanceApp, SecondStartHandsItsCommandLineOverAndExits) {
    std::wstring name = UniqueName();
    SingleInstanceApp first(nullptr, name);
    ASSERT_TRUE(first.IsFirstInstance());
    EXPECT_EQ(first.TakeHandedOverCommandLine(), L"");

    std::wstring line;
    bool ended = false;
    DWORD code = StartSecond(name, L"-f", line, ended);
    EXPECT_TRUE(ended);
    EXPECT_EQ(code, 0u);
    ASSERT_TRUE(WaitForHandOver(10000));
    std::wstring handed = first.TakeHandedOverCommandLine();
    EXPECT_EQ(handed, line);
    EXPECT_EQ(ParseHandedOverCommandLine(handed).action, LaunchAction::FullScreenshot);
    EXPECT_EQ(first.TakeHandedOverCommandLine(), L"");   // taken once
}

TEST(SingleInstanceApp, LongCommandLineIsCutTo2047Characters) {
    std::wstring name = UniqueName();
    SingleInstanceApp first(nullptr, name);
    ASSERT_TRUE(first.IsFirstInstance());
    std::wstring line;
    bool ended = false;
    StartSecond(name, std::wstring(3000, L'a'), line, ended);
    ASSERT_TRUE(ended);
    ASSERT_GT(line.size(), 3000u);
    ASSERT_TRUE(WaitForHandOver(10000));
    std::wstring handed = first.TakeHandedOverCommandLine();
    EXPECT_EQ(handed.size(), 2047u);
    EXPECT_EQ(handed, line.substr(0, 2047));
}

TEST(SingleInstanceApp, SecondObjectInTheSameSessionIsNotTheOwner) {
    std::wstring name = UniqueName();
    SingleInstanceApp first(nullptr, name);
    EXPECT_TRUE(first.IsFirstInstance());
    {
        SingleInstanceApp second(L"brivane.exe upload \"C:\\a b.png\"", name);
        EXPECT_FALSE(second.IsFirstInstance());
    }
    ASSERT_TRUE(WaitForHandOver(5000));
    LaunchCommand command = ParseHandedOverCommandLine(first.TakeHandedOverCommandLine());
    EXPECT_EQ(command.action, LaunchAction::UploadFile);
    EXPECT_EQ(command.uploadPath, L"C:\\a b.png");
}
