// Test helper: presses and releases keys and mouse buttons with SendInput, so that the
// program's hotkey poller (GetAsyncKeyState) sees them. Under Wine, key state set this
// way is visible to every Wine process of the desktop, whichever window has the focus.
//   keypress STEP [STEP ...]
//     dNN   press virtual key NN (decimal; 1 and 2 are the left and right mouse buttons)
//     uNN   release it
//     sNN   sleep NN milliseconds
//     mX,Y  move the pointer to screen position X,Y (for drags and clicks on windows)
//     t     print the wall-clock time (milliseconds since 1970, with fractions) on a
//           line of its own, so that a script knows when the next key went down
//     p     prepare the input path without pressing anything: a process's first input
//           costs tens of milliseconds under Wine (the display driver is loaded and
//           connected), which a timed press after "p" no longer pays
//     cX,Y[,RRGGBB]  wait until the screen's pixel at (X, Y) differs from the given
//           colour (hex), or from what it was when this step began (polled about every
//           millisecond, for at most 10 s), then print the wall-clock time as "t" does
//           and the new colour as RRGGBB in hex
//     wX,Y,RRGGBB,T  wait until that pixel is within T of the colour RRGGBB (each
//           channel; at most 10 s), then print as "c" does
//   keypress d17 d44 s1000 u44 u17     holds Ctrl+PrintScreen for a second
// Exit code 0 when every input was sent, 1 when one was refused, 2 on bad arguments,
// 3 when a watched pixel did not change.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

bool SendKey(int key, bool down) {
    INPUT input = {};
    if (key == VK_LBUTTON || key == VK_RBUTTON) {
        input.type = INPUT_MOUSE;
        if (key == VK_LBUTTON) {
            input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        } else {
            input.mi.dwFlags = down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
        }
    } else {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = static_cast<WORD>(key);
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC));
        input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    }
    // Under load Wine now and then refuses an input (SendInput returns 0: not taken); a
    // moment later it takes it. Seen once in a loaded run of the region scenarios.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (SendInput(1, &input, sizeof(input)) == 1) return true;
        std::fprintf(stderr, "keypress: input %d %s refused (error %lu), sent again\n", key, down ? "down" : "up",
                     GetLastError());
        Sleep(50);
    }
    return false;
}

// The system clock in milliseconds since 1970; under Wine it is the host's clock, so a
// script on the host can compare it with its own.
double WallClockMs() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    const unsigned long long kEpochTicks = 116444736000000000ull;   // 1601 to 1970 in 100 ns
    return static_cast<double>(ticks.QuadPart - kEpochTicks) / 10000.0;
}

// Moves the pointer to (x, y) of the virtual screen with an absolute mouse input, so
// that the windows under it see WM_MOUSEMOVE as from a real mouse.
bool MovePointer(int x, int y) {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 1 || height <= 1) return false;
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((static_cast<long long>(x - left) * 65535 + (width - 1) / 2) / (width - 1));
    input.mi.dy = static_cast<LONG>((static_cast<long long>(y - top) * 65535 + (height - 1) / 2) / (height - 1));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    if (SendInput(1, &input, sizeof(input)) != 1) return false;
    // The absolute scale may round by a pixel: put the pointer exactly there.
    return SetCursorPos(x, y) != FALSE;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// The "c" and "w" steps: wait for the pixel to leave a colour ("c") or to reach one
// ("w"); false after 10 s.
bool WaitForPixel(const wchar_t* step, bool reach) {
    int x = 0, y = 0, tolerance = 0;
    unsigned rgb = 0;
    int fields = std::swscanf(step, L"%d,%d,%x,%d", &x, &y, &rgb, &tolerance);
    if (fields < 2 || (reach && fields != 4)) return false;
    HDC screen = GetDC(nullptr);
    const COLORREF given = fields >= 3 ? RGB(rgb >> 16, (rgb >> 8) & 255, rgb & 255) : GetPixel(screen, x, y);
    const ULONGLONG deadline = GetTickCount64() + 10000;
    COLORREF now = given;
    bool done = false;
    while (!done && GetTickCount64() < deadline) {
        now = GetPixel(screen, x, y);
        done = reach ? Near(now, given, tolerance) : now != given;
        if (!done) Sleep(1);
    }
    ReleaseDC(nullptr, screen);
    if (!done) return false;
    std::printf("%.3f %02x%02x%02x\n", WallClockMs(), GetRValue(now), GetGValue(now), GetBValue(now));
    std::fflush(stdout);
    return true;
}

// The "p" step: the first input of the process, one that changes nothing (the pointer
// moved by nothing), and the key translation the presses use.
bool PrepareInput() {
    MapVirtualKeyW(VK_SHIFT, MAPVK_VK_TO_VSC);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    return SendInput(1, &input, sizeof(input)) == 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"p") == 0) {
            if (!PrepareInput()) return 1;
            continue;
        }
        if (std::wcscmp(argv[i], L"t") == 0) {
            std::printf("%.3f\n", WallClockMs());
            std::fflush(stdout);
            continue;
        }
        if (argv[i][0] == L'm') {
            wchar_t* comma = nullptr;
            long x = std::wcstol(argv[i] + 1, &comma, 10);
            if (comma == argv[i] + 1 || *comma != L',') return 2;
            wchar_t* end = nullptr;
            long y = std::wcstol(comma + 1, &end, 10);
            if (end == comma + 1 || *end != L'\0') return 2;
            if (!MovePointer(static_cast<int>(x), static_cast<int>(y))) return 1;
            continue;
        }
        if (argv[i][0] == L'c' || argv[i][0] == L'w') {
            if (!WaitForPixel(argv[i] + 1, argv[i][0] == L'w')) return 3;
            continue;
        }
        wchar_t kind = argv[i][0];
        wchar_t* end = nullptr;
        long value = std::wcstol(argv[i] + 1, &end, 10);
        if (end == argv[i] + 1 || *end != L'\0' || value < 0) return 2;
        switch (kind) {
        case L'd':
        case L'u':
            if (value < 1 || value > 254) return 2;
            if (!SendKey(static_cast<int>(value), kind == L'd')) return 1;
            break;
        case L's':
            Sleep(static_cast<DWORD>(value));
            break;
        default:
            return 2;
        }
    }
    return 0;
}
