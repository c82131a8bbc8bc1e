// Test helper: posts window messages to the program's main dialog (a dialog window,
// hidden or not, whose caption starts with "Brivane "), so that end-to-end scripts can
// drive the tray callback, menu commands and private messages.
//   postmsg MSG WPARAM LPARAM [MSG WPARAM LPARAM ...]   numbers in decimal or 0x hex
// Prints the window handle; exit code 1 when no such window exists, 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

HWND g_found = nullptr;

BOOL CALLBACK FindMain(HWND hwnd, LPARAM) {
    wchar_t cls[64] = {}, caption[256] = {};
    GetClassNameW(hwnd, cls, 64);
    GetWindowTextW(hwnd, caption, 256);
    if (wcscmp(cls, L"#32770") == 0 && wcsncmp(caption, L"Brivane ", 8) == 0) {
        g_found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4 || (argc - 1) % 3 != 0) return 2;
    EnumWindows(&FindMain, 0);
    if (!g_found) return 1;
    for (int i = 1; i + 2 < argc; i += 3) {
        UINT msg = static_cast<UINT>(wcstoul(argv[i], nullptr, 0));
        WPARAM w = static_cast<WPARAM>(wcstoul(argv[i + 1], nullptr, 0));
        LPARAM l = static_cast<LPARAM>(wcstol(argv[i + 2], nullptr, 0));
        if (!PostMessageW(g_found, msg, w, l)) return 1;
    }
    std::printf("%p\n", static_cast<void*>(g_found));
    return 0;
}
