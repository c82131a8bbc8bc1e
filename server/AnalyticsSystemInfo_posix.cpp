// The machine description for the native build.
#ifndef _WIN32
#include <unistd.h>

#include "server/Analytics.h"

std::wstring GetCpuAndMemoryText() {
    try {
        long cores = sysconf(_SC_NPROCESSORS_ONLN);
        long pages = sysconf(_SC_PHYS_PAGES);
        long pageSize = sysconf(_SC_PAGESIZE);
        if (cores <= 0 || pages <= 0 || pageSize <= 0) return L"cpu-failed";
        return FormatCpuAndMemoryText(GetProcessorBrand(), static_cast<unsigned>(cores),
                                      static_cast<unsigned long long>(pages) *
                                          static_cast<unsigned long long>(pageSize));
    } catch (...) {
        return L"cpu-failed";
    }
}
#endif
