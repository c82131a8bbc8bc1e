// Test helper: lists the visible top-level windows as JSON lines (process id, class,
// caption and the texts of their static children), so that end-to-end scripts can
// read message boxes. With "close PID" it closes that process's message boxes
// (dialog class #32770) by pressing their default button; with "close" alone it closes
// every message box on the desktop. With "rects" it lists every visible top-level window
// with its screen rectangle and whether it is topmost and layered.
#include <windows.h>

#include <cstdio>
#include <cstdint>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    return out;
}

std::string Json(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') { out += '\\'; out += static_cast<char>(c); }
        else if (c < 0x20) { char b[8]; std::snprintf(b, sizeof b, "\\u%04x", c); out += b; }
        else out += static_cast<char>(c);
    }
    return out + "\"";
}

BOOL CALLBACK ChildText(HWND child, LPARAM param) {
    auto* texts = reinterpret_cast<std::string*>(param);
    wchar_t cls[64] = {}, text[2048] = {};
    GetClassNameW(child, cls, 64);
    GetWindowTextW(child, text, 2048);
    if (text[0]) {
        if (texts->size() > 1) *texts += ",";
        *texts += "{\"class\":" + Json(Utf8(cls)) + ",\"text\":" + Json(Utf8(text)) + "}";
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
    std::printf("{\"pid\":%lu,\"class\":%s,\"caption\":%s,\"children\":%s}\n", static_cast<unsigned long>(pid),
                Json(Utf8(cls)).c_str(), Json(Utf8(caption)).c_str(), texts.c_str());
    return TRUE;
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
    if (argc >= 2 && wcscmp(argv[1], L"close") == 0) {
        g_close = true;
        if (argc >= 3) g_closePid = static_cast<DWORD>(wcstoul(argv[2], nullptr, 10));
    }
    EnumWindows(TopLevel, 0);
    std::fflush(stdout);
    return 0;
}
