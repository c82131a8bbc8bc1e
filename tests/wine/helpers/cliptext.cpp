// Prints the clipboard's text (CF_UNICODETEXT) as UTF-8; exit code 1 when there is none.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain() {
    if (!OpenClipboard(nullptr)) return 2;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    std::string out;
    if (text) {
        int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
        if (n > 1) {
            out.resize(static_cast<size_t>(n - 1));
            WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
        }
        GlobalUnlock(data);
    }
    CloseClipboard();
    if (!text) return 1;
    fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
