// Test helper: lists the visible top-level windows as JSON lines (process id, class,
// caption and the texts of their static children), so that end-to-end scripts can
// read message boxes. With "close PID" it closes that process's message boxes
// (dialog class #32770) by pressing their default button; with "close" alone it closes
// every message box on the desktop. Each line also gives the window's rectangle, its
// topmost flag and, for a progress bar child, its position. With "press TEXT" it clicks
// every visible button captioned TEXT.
//
// Settings-window commands (a window is named by the start of its caption, or "fg"):
//   wininfo controls CAPTION   one JSON line per control of the window, children of
//                              child dialogs included: id, class, text, visible, enabled,
//                              check, combo selection, slider position, screen rectangle
//                              and the id of the dialog that holds it
//   wininfo foreground         the foreground window (pid, class, caption)
//   wininfo click CAPTION ID [N]   a real left click (SendInput) in the middle of the
//                              N-th visible control with that id (0 first, listing order)
//   wininfo move X Y           moves the pointer to screen point (X, Y) with SendInput
//   wininfo clickat X Y        a real left click at screen point (X, Y)
//   wininfo rect CAPTION       the window's screen rectangle: left top right bottom
//   wininfo metric N           prints GetSystemMetrics(N)
//   wininfo settext CAPTION ID TEXT [N]   sends WM_SETTEXT to the N-th control with that
//                              id (0 first, listing order, hidden ones included), as if
//                              something other than the user had changed it
//
// "rects" lists every visible top-level window with its screen rectangle and whether it
// is topmost and layered.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "json_text.h"

namespace {

BOOL CALLBACK ChildText(HWND child, LPARAM param) {
    auto* texts = reinterpret_cast<std::string*>(param);
    wchar_t cls[64] = {}, text[2048] = {};
    GetClassNameW(child, cls, 64);
    GetWindowTextW(child, text, 2048);
    bool bar = wcscmp(cls, L"msctls_progress32") == 0;
    if (text[0] || bar) {
        if (texts->size() > 1) *texts += ",";
        *texts += "{\"class\":" + Json(Utf8(cls)) + ",\"text\":" + Json(Utf8(text));
        if (bar) *texts += ",\"pos\":" + std::to_string(SendMessageW(child, PBM_GETPOS, 0, 0));
        *texts += "}";
    }
    return TRUE;
}

const wchar_t* g_press = nullptr;   // the caption of the buttons to click

BOOL CALLBACK PressChild(HWND child, LPARAM) {
    wchar_t cls[64] = {}, text[256] = {};
    GetClassNameW(child, cls, 64);
    GetWindowTextW(child, text, 256);
    if (_wcsicmp(cls, L"Button") == 0 && wcscmp(text, g_press) == 0 && IsWindowVisible(child)) {
        PostMessageW(child, BM_CLICK, 0, 0);
    }
    return TRUE;
}

bool g_close = false;
DWORD g_closePid = 0;   // 0 with g_close: any process

BOOL CALLBACK TopLevel(HWND hwnd, LPARAM) {
    if (!IsWindowVisible(hwnd)) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[64] = {}, caption[1024] = {};
    GetClassNameW(hwnd, cls, 64);
    GetWindowTextW(hwnd, caption, 1024);
    if (g_press) {
        EnumChildWindows(hwnd, PressChild, 0);
        return TRUE;
    }
    if (g_close) {
        if ((g_closePid == 0 || pid == g_closePid) && wcscmp(cls, L"#32770") == 0) {
            PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        }
        return TRUE;
    }
    std::string texts = "[";
    EnumChildWindows(hwnd, ChildText, reinterpret_cast<LPARAM>(&texts));
    texts += "]";
    RECT r = {};
    GetWindowRect(hwnd, &r);
    bool topmost = (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    std::printf("{\"pid\":%lu,\"class\":%s,\"caption\":%s,\"rect\":[%ld,%ld,%ld,%ld],\"topmost\":%s,"
                "\"children\":%s}\n",
                static_cast<unsigned long>(pid), Json(Utf8(cls)).c_str(), Json(Utf8(caption)).c_str(), r.left, r.top,
                r.right, r.bottom, topmost ? "true" : "false", texts.c_str());
    return TRUE;
}

// The visible top-level window whose caption starts with `prefix` ("fg": the
// foreground window).
struct FindTop {
    const wchar_t* prefix;
    HWND found;
};

BOOL CALLBACK FindTopProc(HWND hwnd, LPARAM param) {
    auto* find = reinterpret_cast<FindTop*>(param);
    if (!IsWindowVisible(hwnd)) return TRUE;
    wchar_t caption[1024] = {};
    GetWindowTextW(hwnd, caption, 1024);
    if (wcsncmp(caption, find->prefix, wcslen(find->prefix)) != 0) return TRUE;
    find->found = hwnd;
    return FALSE;
}

HWND FindTopWindow(const wchar_t* prefix) {
    if (wcscmp(prefix, L"fg") == 0) return GetForegroundWindow();
    FindTop find = {prefix, nullptr};
    EnumWindows(FindTopProc, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

struct ControlList {
    std::vector<HWND> controls;
};

BOOL CALLBACK CollectControl(HWND child, LPARAM param) {
    reinterpret_cast<ControlList*>(param)->controls.push_back(child);
    return TRUE;
}

std::vector<HWND> Controls(HWND top) {
    ControlList list;
    EnumChildWindows(top, CollectControl, reinterpret_cast<LPARAM>(&list));
    return list.controls;
}

void PrintControl(HWND control) {
    wchar_t cls[64] = {}, text[2048] = {};
    GetClassNameW(control, cls, 64);
    // WM_GETTEXT: an edit's own text, which GetWindowText of another process's window
    // does not ask for.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &ignored);
    RECT rect = {};
    GetWindowRect(control, &rect);
    int check = -1, combo = -1, slider = -1;
    if (_wcsicmp(cls, L"Button") == 0) check = static_cast<int>(SendMessageW(control, BM_GETCHECK, 0, 0));
    if (_wcsicmp(cls, L"ComboBox") == 0) combo = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
    if (_wcsicmp(cls, L"msctls_trackbar32") == 0) slider = static_cast<int>(SendMessageW(control, WM_USER, 0, 0));
    HWND parent = GetParent(control);
    std::printf("{\"id\":%d,\"class\":%s,\"text\":%s,\"visible\":%s,\"enabled\":%s,\"check\":%d,"
                "\"combo\":%d,\"slider\":%d,\"rect\":[%ld,%ld,%ld,%ld],\"parent\":%d}\n",
                GetDlgCtrlID(control), Json(Utf8(cls)).c_str(), Json(Utf8(text)).c_str(),
                IsWindowVisible(control) ? "true" : "false", IsWindowEnabled(control) ? "true" : "false", check,
                combo, slider, rect.left, rect.top, rect.right, rect.bottom,
                parent ? GetDlgCtrlID(parent) : 0);
}

bool SendMouse(DWORD flags, int x = 0, int y = 0) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    return SendInput(1, &input, sizeof(input)) == 1;
}

bool ClickAt(int x, int y) {
    bool ok = SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
    Sleep(50);
    ok = SendMouse(MOUSEEVENTF_LEFTDOWN) && ok;
    Sleep(50);
    return SendMouse(MOUSEEVENTF_LEFTUP) && ok;
}

int SettingsCommand(int argc, wchar_t** argv) {
    const wchar_t* command = argv[1];
    if (wcscmp(command, L"foreground") == 0) {
        HWND fg = GetForegroundWindow();
        DWORD pid = 0;
        wchar_t cls[64] = {}, caption[1024] = {};
        if (fg) {
            GetWindowThreadProcessId(fg, &pid);
            GetClassNameW(fg, cls, 64);
            GetWindowTextW(fg, caption, 1024);
        }
        std::printf("{\"pid\":%lu,\"class\":%s,\"caption\":%s}\n", static_cast<unsigned long>(pid),
                    Json(Utf8(cls)).c_str(), Json(Utf8(caption)).c_str());
        return 0;
    }
    if (wcscmp(command, L"move") == 0 && argc >= 4) {
        return SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, _wtoi(argv[2]), _wtoi(argv[3])) ? 0 : 1;
    }
    if (wcscmp(command, L"metric") == 0 && argc >= 3) {
        std::printf("%d\n", GetSystemMetrics(_wtoi(argv[2])));
        return 0;
    }
    if (wcscmp(command, L"clickat") == 0 && argc >= 4) {
        return ClickAt(_wtoi(argv[2]), _wtoi(argv[3])) ? 0 : 1;
    }
    if (argc < 3) return 2;
    HWND top = FindTopWindow(argv[2]);
    if (!top) return 3;
    if (wcscmp(command, L"rect") == 0) {
        RECT rect = {};
        GetWindowRect(top, &rect);
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        return 0;
    }
    if (wcscmp(command, L"controls") == 0) {
        for (HWND control : Controls(top)) PrintControl(control);
        return 0;
    }
    if (wcscmp(command, L"click") == 0 && argc >= 4) {
        int id = _wtoi(argv[3]);
        int wanted = argc >= 5 ? _wtoi(argv[4]) : 0;
        for (HWND control : Controls(top)) {
            // Pages reuse ids: only controls that can be seen count.
            if (GetDlgCtrlID(control) != id || !IsWindowVisible(control) || wanted-- > 0) continue;
            RECT rect;
            GetWindowRect(control, &rect);
            return ClickAt((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2) ? 0 : 1;
        }
        return 4;
    }
    if (wcscmp(command, L"settext") == 0 && argc >= 5) {
        int id = _wtoi(argv[3]);
        int wanted = argc >= 6 ? _wtoi(argv[5]) : 0;
        for (HWND control : Controls(top)) {
            if (GetDlgCtrlID(control) != id || wanted-- > 0) continue;
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]), SMTO_ABORTIFHUNG,
                                     5000, &result)) {
                return 1;
            }
            return result ? 0 : 1;
        }
        return 4;
    }
    return 2;
}

// "rects": one JSON line per visible top-level window.
BOOL CALLBACK TopLevelRect(HWND hwnd, LPARAM) {
    if (!IsWindowVisible(hwnd)) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[64] = {}, caption[1024] = {};
    GetClassNameW(hwnd, cls, 64);
    GetWindowTextW(hwnd, caption, 1024);
    RECT r = {};
    GetWindowRect(hwnd, &r);
    LONG ex = GetWindowLongW(hwnd, GWL_EXSTYLE);
    std::printf("{\"pid\":%lu,\"hwnd\":%llu,\"class\":%s,\"caption\":%s,\"rect\":[%ld,%ld,%ld,%ld],"
                "\"topmost\":%s,\"layered\":%s}\n",
                static_cast<unsigned long>(pid), static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)),
                Json(Utf8(cls)).c_str(), Json(Utf8(caption)).c_str(), r.left, r.top, r.right, r.bottom,
                (ex & WS_EX_TOPMOST) ? "true" : "false", (ex & WS_EX_LAYERED) ? "true" : "false");
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && wcscmp(argv[1], L"rects") == 0) {
        EnumWindows(TopLevelRect, 0);
        std::fflush(stdout);
        return 0;
    }
    if (argc >= 2 && wcscmp(argv[1], L"close") != 0 && wcscmp(argv[1], L"press") != 0) {
        int code = SettingsCommand(argc, argv);
        std::fflush(stdout);
        return code;
    }
    if (argc >= 2 && wcscmp(argv[1], L"close") == 0) {
        g_close = true;
        if (argc >= 3) g_closePid = static_cast<DWORD>(wcstoul(argv[2], nullptr, 10));
    } else if (argc >= 3 && wcscmp(argv[1], L"press") == 0) {
        g_press = argv[2];
    }
    EnumWindows(TopLevel, 0);
    std::fflush(stdout);
    return 0;
}
