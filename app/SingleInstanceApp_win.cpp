#include <windows.h>

#include <utility>

#include "app/SingleInstanceApp.h"
#include "foundation/Log.h"

unsigned g_singleInstanceMessage = 0;

SingleInstanceApp::SingleInstanceApp(const wchar_t* commandLine, const std::wstring& name) {
    g_singleInstanceMessage = RegisterWindowMessageW(name.c_str());
    UniqueHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            sizeof(SingleInstanceBlock), name.c_str()));
    DWORD error = GetLastError();
    if (!mapping) {
        // Without a block nothing can be handed over; run as the only instance.
        Log("SingleInstanceApp: CreateFileMapping failed: %lu\n", error);
        return;
    }
    m_mapping = std::move(mapping);
    m_isFirstInstance = error != ERROR_ALREADY_EXISTS;
    m_view.reset(MapViewOfFile(m_mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(SingleInstanceBlock)));
    SingleInstanceBlock* block = Block();
    if (!block) {
        Log("SingleInstanceApp: MapViewOfFile failed: %lu\n", GetLastError());
        return;
    }
    if (m_isFirstInstance) {
        // Make sure this thread has a message queue before anyone posts to it.
        MSG msg;
        PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        block->firstThreadId = GetCurrentThreadId();
        block->commandLine[0] = 0;
        block->commandLine[1] = 0;
        return;
    }
    const wchar_t* line = commandLine ? commandLine : GetCommandLineW();
    size_t length = 0;
    while (line[length] != 0 && length < kMaxHandedOverCommandLine) {
        block->commandLine[length] = static_cast<uint16_t>(line[length]);
        ++length;
    }
    block->commandLine[length] = 0;
    PostThreadMessageW(block->firstThreadId, g_singleInstanceMessage, 0, 0);
}

SingleInstanceApp::~SingleInstanceApp() = default;

std::wstring SingleInstanceApp::TakeHandedOverCommandLine() {
    SingleInstanceBlock* block = Block();
    if (!block) return L"";
    std::wstring line;
    for (size_t i = 0; i < 2048 && block->commandLine[i] != 0; ++i) {
        line += static_cast<wchar_t>(block->commandLine[i]);
    }
    block->commandLine[0] = 0;
    block->commandLine[1] = 0;
    return line;
}
