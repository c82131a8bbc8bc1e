// The key timer's press detection against the real key state: keys typed through
// SendInput into a focused window, read the way the editor reads them.
//
// Measured under Wine 8: GetAsyncKeyState's "pressed since the last query" bit shows
// up one query after the press (first 0x8000, then 0x8001), a tap between two queries
// shows only as 0x0001 on the second one, and any thread's query clears it for the
// whole process. Counting that bit would count a held key twice or lose a press to
// the hotkey poller's thread, so the editor counts a press when the key is down now and
// was up at its own previous poll.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "editor/SelectRegionDlg.h"
#include "editor/SelectRegionLogic.h"

namespace {

void Key(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

void Pump() {
    MSG msg;
    for (int i = 0; i < 4; ++i) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(15);
    }
}

class KeyEdges : public ::testing::Test {
protected:
    void SetUp() override {
        window = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"keys", WS_POPUP | WS_VISIBLE, 20, 20, 80, 80, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_TRUE(window);
        SetForegroundWindow(window);
        SetFocus(window);
        Pump();
        Key(kKey, true);
        Pump();
        reader.Prime(isKeyDown(kKey));
    }
    void TearDown() override {
        Key(kKey, true);
        Pump();
        if (window) DestroyWindow(window);
    }
    // One poll of the key timer.
    bool Poll() { return reader.Poll(isKeyDown(kKey)); }

    static constexpr WORD kKey = 'Z';
    HWND window = nullptr;
    std::function<bool(int)> isKeyDown = SelectRegionEnvironment::Default().isKeyDown;
    KeyEdgeReader reader;
};

TEST_F(KeyEdges, HeldKeyCountsOnceAndAPressAfterReleaseAgain) {
    EXPECT_FALSE(Poll());
    Key(kKey, false);
    Pump();
    EXPECT_TRUE(Poll());
    EXPECT_FALSE(Poll());
    EXPECT_FALSE(Poll());
    Key(kKey, true);
    Pump();
    EXPECT_FALSE(Poll());
    Key(kKey, false);
    Pump();
    EXPECT_TRUE(Poll());
}

TEST_F(KeyEdges, AnotherThreadsQueryDoesNotLoseThePress) {
    Key(kKey, false);
    Pump();
    // The hotkey poller reads keys from its own thread in the same process.
    std::thread([] {
        GetAsyncKeyState(kKey);
        GetAsyncKeyState(kKey);
    }).join();
    EXPECT_TRUE(Poll());
    EXPECT_FALSE(Poll());
}

TEST_F(KeyEdges, KeyHeldWhenTheEditorOpensDoesNotCount) {
    Key(kKey, false);
    Pump();
    reader.Prime(isKeyDown(kKey));
    EXPECT_FALSE(Poll());
    EXPECT_FALSE(Poll());
    Key(kKey, true);
    Pump();
    EXPECT_FALSE(Poll());
    Key(kKey, false);
    Pump();
    EXPECT_TRUE(Poll());
}

}  // namespace
