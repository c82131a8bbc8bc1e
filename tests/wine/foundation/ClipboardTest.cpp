#include <gtest/gtest.h>

#include <thread>

#include "foundation/Clipboard.h"

namespace {

// A hidden window on this thread owns the clipboard, as the main window does later.
class ClipboardTest : public testing::Test {
protected:
    void SetUp() override {
        m_window = CreateWindowExW(0, L"STATIC", L"clipboard owner", WS_POPUP, 0, 0, 1, 1,
                                   nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(m_window, nullptr);
    }
    void TearDown() override {
        SetClipboardOwnerWindow(nullptr);
        DestroyWindow(m_window);
    }
    HWND m_window = nullptr;
};

}  // namespace

TEST_F(ClipboardTest, TextRoundTrips) {
    const std::wstring texts[] = {
        L"https://brivane.example/s0Babc123",
        std::wstring({L'\x20AC', L' ', wchar_t(0xD83D), wchar_t(0xDE00), L'\n', L'x'}),
        L"",
        std::wstring(70000, L'w'),
    };
    for (const std::wstring& text : texts) {
        SCOPED_TRACE(text.size());
        ASSERT_TRUE(SetClipboardText(m_window, text));
        std::wstring back = L"stale";
        ASSERT_TRUE(GetClipboardText(m_window, back));
        EXPECT_EQ(back, text);
    }
}

TEST_F(ClipboardTest, SettableOwnerAndClosedAfterUse) {
    SetClipboardOwnerWindow(m_window);
    EXPECT_EQ(GetClipboardOwnerWindow(), m_window);
    ASSERT_TRUE(SetClipboardText(L"first"));
    ASSERT_TRUE(SetClipboardText(L"second"));   // would fail if the clipboard stayed open
    EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
    std::wstring back;
    ASSERT_TRUE(GetClipboardText(m_window, back));
    EXPECT_EQ(back, L"second");
    EXPECT_EQ(GetClipboardOwner(), m_window);
}

TEST_F(ClipboardTest, OpenElsewhereChangesNothing) {
    ASSERT_TRUE(SetClipboardText(m_window, L"kept"));
    // Held open by another thread: opening fails and nothing changes.
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool holderOpened = false;
    std::thread holder([&] {
        HWND window = CreateWindowExW(0, L"STATIC", L"holder", WS_POPUP, 0, 0, 1, 1, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
        holderOpened = window && OpenClipboard(window) != FALSE;
        SetEvent(opened);
        WaitForSingleObject(release, 10000);
        if (holderOpened) CloseClipboard();
        if (window) DestroyWindow(window);
    });
    WaitForSingleObject(opened, 10000);
    EXPECT_FALSE(SetClipboardText(m_window, L"lost"));
    SetEvent(release);
    holder.join();
    EXPECT_TRUE(holderOpened);
    CloseHandle(opened);
    CloseHandle(release);
    std::wstring back;
    ASSERT_TRUE(GetClipboardText(m_window, back));
    EXPECT_EQ(back, L"kept");
}
