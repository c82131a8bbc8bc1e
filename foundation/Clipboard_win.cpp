#include "foundation/Clipboard.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<HWND> g_clipboardOwner{nullptr};

// Closes the clipboard on every path once OpenClipboard succeeded.
class ClipboardScope {
public:
    explicit ClipboardScope(HWND owner) : m_open(OpenClipboard(owner) != FALSE) {}
    ~ClipboardScope() {
        if (m_open) CloseClipboard();
    }
    ClipboardScope(const ClipboardScope&) = delete;
    ClipboardScope& operator=(const ClipboardScope&) = delete;
    bool IsOpen() const { return m_open; }

private:
    bool m_open;
};

}  // namespace

void SetClipboardOwnerWindow(HWND owner) {
    g_clipboardOwner = owner;
}

HWND GetClipboardOwnerWindow() {
    return g_clipboardOwner;
}

bool SetClipboardText(const std::wstring& text) {
    return SetClipboardText(g_clipboardOwner.load(), text);
}

bool SetClipboardText(HWND owner, const std::wstring& text) {
    ClipboardScope clipboard(owner);
    if (!clipboard.IsOpen()) return false;
    if (!EmptyClipboard()) return false;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes);
    if (!block) return false;
    void* data = GlobalLock(block);
    if (!data) {
        GlobalFree(block);
        return false;
    }
    std::memcpy(data, text.c_str(), bytes);
    GlobalUnlock(block);
    if (!SetClipboardData(CF_UNICODETEXT, block)) {
        GlobalFree(block);   // still ours: the clipboard did not take it
        return false;
    }
    return true;   // the block now belongs to the clipboard
}

bool GetClipboardText(HWND owner, std::wstring& text) {
    ClipboardScope clipboard(owner);
    if (!clipboard.IsOpen()) return false;
    HANDLE block = GetClipboardData(CF_UNICODETEXT);
    if (!block) return false;
    const auto* data = static_cast<const wchar_t*>(GlobalLock(block));
    if (!data) return false;
    const size_t capacity = GlobalSize(block) / sizeof(wchar_t);
    size_t length = 0;
    while (length < capacity && data[length] != L'\0') ++length;
    text.assign(data, length);
    GlobalUnlock(block);
    return true;
}
