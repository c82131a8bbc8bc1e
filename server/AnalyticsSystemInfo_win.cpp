#include <windows.h>

#include <exception>

#include "server/Analytics.h"

std::wstring GetCpuAndMemoryText() {
    try {
        SYSTEM_INFO info = {};
        GetSystemInfo(&info);
        MEMORYSTATUSEX memory = {};
        memory.dwLength = sizeof(memory);
        if (!GlobalMemoryStatusEx(&memory)) return L"cpu-failed";
        return FormatCpuAndMemoryText(GetProcessorBrand(), info.dwNumberOfProcessors,
                                      memory.ullTotalPhys);
    } catch (...) {
        return L"cpu-failed";
    }
}
