// The test build's result step: with BRIVANE_TEST_FAIL_RESULTS=N in the environment the
// first N results of the editor fail with the exception a failing picture step throws;
// the rest go through.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>

#include "editor/ResultSeam.h"

namespace {
std::atomic<int> g_failed{0};
}

void RunResultSeam() {
    wchar_t value[16] = {};
    DWORD length = GetEnvironmentVariableW(L"BRIVANE_TEST_FAIL_RESULTS", value, 16);
    int wanted = length > 0 && length < 16 ? _wtoi(value) : 0;
    if (g_failed.load() < wanted) {
        ++g_failed;
        throw std::runtime_error("CSelectRegionDlg::GetImage()");
    }
}
