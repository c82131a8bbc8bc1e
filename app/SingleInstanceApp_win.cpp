#include <windows.h>

#include "app/SingleInstanceApp.h"
#include "foundation/Log.h"

unsigned g_singleInstanceMessage = 0;

SingleInstanceApp::SingleInstanceApp(const wchar_t* commandLine, const std::wstring& name) {
    g_singleInstanceMessage = RegisterWindowMessageW(name.c_str());
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(SingleInstanceBlock), name.c_str());
    DWORD error = GetLastError();
    if (!mapping) {
        // Without a block nothing can be handed over; run as the only instance.
        Log("SingleInstanceApp: CreateFileMapping failed: %lu\n", error);
        return;
    }
    m_mapping = mapping;
    m_isFirstInstance = error != ERROR_ALREADY_EXISTS;
    m_block = static_cast<SingleInstanceBlock*>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(SingleInstanceBlock)));
    if (!m_block) {
        Log("SingleInstanceApp: MapViewOfFile failed: %lu\n", GetLastError());
        return;
    }
    if (m_isFirstInstance) {
        // Make sure this thread has a message queue before anyone posts to it.
        MSG msg;
        PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        m_block->firstThreadId = GetCurrentThreadId();
        m_block->commandLine[0] = 0;
        m_block->commandLine[1] = 0;
        return;
    }
    const wchar_t* line = commandLine ? commandLine : GetCommandLineW();
    size_t length = 0;
    while (line[length] != 0 && length < kMaxHandedOverCommandLine) {
        m_block->commandLine[length] = static_cast<uint16_t>(line[length]);
        ++length;
    }
    m_block->commandLine[length] = 0;
    PostThreadMessageW(m_block->firstThreadId, g_singleInstanceMessage, 0, 0);
}

SingleInstanceApp::~SingleInstanceApp() {
    if (m_block) UnmapViewOfFile(m_block);
    if (m_mapping) CloseHandle(static_cast<HANDLE>(m_mapping));
}

std::wstring SingleInstanceApp::TakeHandedOverCommandLine() {
    if (!m_block) return L"";
    std::wstring line;
    for (size_t i = 0; i < 2048 && m_block->commandLine[i] != 0; ++i) {
        line += static_cast<wchar_t>(m_block->commandLine[i]);
    }
    m_block->commandLine[0] = 0;
    m_block->commandLine[1] = 0;
    return line;
}
