// Test helper: lists the visible top-level dialog windows (class #32770) as JSON lines
// ("move X Y": moves the program's main dialog instead) with their screen rectangle, whether they are topmost, and their child controls (id,
// class, text, screen rectangle, visible), so that end-to-end scripts can check where a
// window and its controls are and click them.
#include <windows.h>

#include <cstdio>
#include <string>

#include "json_text.h"

namespace {

std::string Rect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    char b[96];
    std::snprintf(b, sizeof b, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    return b;
}

BOOL CALLBACK Child(HWND hwnd, LPARAM param) {
    auto* out = reinterpret_cast<std::string*>(param);
    wchar_t cls[64] = {}, text[256] = {};
    GetClassNameW(hwnd, cls, 64);
    GetWindowTextW(hwnd, text, 256);
    // A drop-down list's text (its chosen item) is not window text: ask the control.
    DWORD_PTR copied = 0;
    if (!text[0] && wcscmp(cls, L"ComboBox") == 0)
        SendMessageTimeoutW(hwnd, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &copied);
    if (out->back() != '[') *out += ",";
    char id[32];
    std::snprintf(id, sizeof id, "%d", GetDlgCtrlID(hwnd));
    *out += std::string("{\"id\":") + id + ",\"class\":" + Json(Utf8(cls)) + ",\"text\":" + Json(Utf8(text)) +
            ",\"rect\":" + Rect(hwnd) + ",\"visible\":" + (IsWindowVisible(hwnd) ? "true" : "false") + "}";
    return TRUE;
}

BOOL CALLBACK Top(HWND hwnd, LPARAM) {
    wchar_t cls[64] = {}, caption[256] = {};
    GetClassNameW(hwnd, cls, 64);
    if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
    GetWindowTextW(hwnd, caption, 256);
    std::string children = "[";
    EnumChildWindows(hwnd, &Child, reinterpret_cast<LPARAM>(&children));
    children += "]";
    const bool topmost = (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    std::printf("{\"caption\":%s,\"rect\":%s,\"topmost\":%s,\"children\":%s}\n", Json(Utf8(caption)).c_str(),
                Rect(hwnd).c_str(), topmost ? "true" : "false", children.c_str());
    return TRUE;
}

BOOL CALLBACK FindMain(HWND hwnd, LPARAM param) {
    wchar_t cls[64] = {}, caption[256] = {};
    GetClassNameW(hwnd, cls, 64);
    GetWindowTextW(hwnd, caption, 256);
    if (wcscmp(cls, L"#32770") == 0 && wcsncmp(caption, L"Brivane ", 8) == 0) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

// "move X Y": moves the program's main dialog, as a user dragging it would.
int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && wcscmp(argv[1], L"move") == 0) {
        HWND main = nullptr;
        EnumWindows(&FindMain, reinterpret_cast<LPARAM>(&main));
        if (!main) return 1;
        return SetWindowPos(main, nullptr, _wtoi(argv[2]), _wtoi(argv[3]), 0, 0,
                            SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 1;
    }
    EnumWindows(&Top, 0);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    std::printf("{\"workarea\":[%ld,%ld,%ld,%ld]}\n", work.left, work.top, work.right, work.bottom);
    return 0;
}
