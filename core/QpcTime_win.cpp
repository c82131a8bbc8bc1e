#include "core/QpcTime.h"

#include <windows.h>

uint64_t CvxGetQpcTime() {
    // Every thread would store the same value, so the unguarded cache is harmless.
    static int64_t frequency = [] {
        LARGE_INTEGER f;
        return QueryPerformanceFrequency(&f) ? int64_t(f.QuadPart) : int64_t(0);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return QpcToHundredNs(counter.QuadPart, frequency);
}
