#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "classlib/DataExchange.h"
#include "classlib/Dialog.h"
#include "classlib/WinApp.h"
#include "classlib/WorkerThread.h"
#include "tests/wine/classlib/DialogTemplate.h"

namespace {

constexpr UINT kThreadMessage = WM_APP + 77;
constexpr WORD kEditId = 1001;
constexpr WORD kCheckId = 1002;

// The application object of these tests: records the thread messages it is given.
class TestApp : public CWinApp {
public:
    bool OnThreadMessage(const MSG& msg) override {
        if (msg.message != kThreadMessage) return false;
        received.push_back(static_cast<int>(msg.wParam));
        if (onMessage) onMessage(static_cast<int>(msg.wParam));
        return true;
    }
    std::vector<int> received;
    std::function<void(int)> onMessage;
};

DialogTemplate PopupTemplate() {
    DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU, 200, 100, L"classlib test");
    t.Control(0x0081, kEditId, WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 10, 10, 100, 14, L"");
    t.Control(0x0080, kCheckId, BS_AUTOCHECKBOX | WS_TABSTOP, 10, 30, 100, 14, L"check");
    t.Control(0x0080, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 10, 60, 50, 14, L"OK");
    return t;
}

// A dialog whose timers run a script of steps, one per 20 ms tick.
class ScriptedDialog : public CDialog {
public:
    using CDialog::CDialog;
    std::vector<std::function<void(ScriptedDialog&)>> steps;
    std::function<void()> onInit;
    bool keepHidden = false;
    bool sawShowRequest = false;
    std::vector<std::string> preTranslated;

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (onInit) onInit();
        SetTimer(1, 20);
        return TRUE;
    }
    void OnTimer(UINT_PTR id) override {
        if (id != 1) return;
        if (m_next >= steps.size()) return;
        auto step = steps[m_next++];
        step(*this);
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_WINDOWPOSCHANGING && keepHidden) {
            auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            if (pos->flags & SWP_SHOWWINDOW) {
                sawShowRequest = true;
                pos->flags &= ~SWP_SHOWWINDOW;
            }
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN && msg->wParam == 'Q') preTranslated.push_back("dialog");
        return CDialog::PreTranslateMessage(msg);
    }

private:
    size_t m_next = 0;
};

// An edit control attached to a CWnd: sees reflected notifications and key messages.
class ProbeEdit : public CWnd {
public:
    bool consumeKeys = false;
    std::vector<std::string>* log = nullptr;
    int reflectedChanges = 0;
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN && msg->wParam == 'Q') {
            log->push_back("edit");
            return consumeKeys;
        }
        return FALSE;
    }
    bool OnReflect(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) override {
        if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
            reflectedChanges++;
            result = 0;
            return true;
        }
        return false;
    }
};

class DialogTest : public ::testing::Test {
protected:
    TestApp app;
};

TEST_F(DialogTest, ModalLoopRoutesThreadMessagesAndEndsWithResult) {
    DialogTemplate t = PopupTemplate();
    ScriptedDialog dlg(t.Get());
    DWORD thread = GetCurrentThreadId();
    dlg.steps = {
        [&](ScriptedDialog&) {
            PostThreadMessageW(thread, kThreadMessage, 7, 0);
            PostThreadMessageW(thread, kThreadMessage, 8, 0);
        },
        [&](ScriptedDialog& d) { d.EndDialog(42); },
    };
    EXPECT_EQ(dlg.DoModal(), 42);
    EXPECT_EQ(app.received, (std::vector<int>{7, 8}));
    EXPECT_EQ(dlg.m_hWnd, nullptr) << "the window is destroyed when the loop ends";
}

TEST_F(DialogTest, NestedModalLoopStillRoutesThreadMessages) {
    DialogTemplate t = PopupTemplate();
    ScriptedDialog outer(t.Get());
    DWORD thread = GetCurrentThreadId();
    INT_PTR innerResult = 0;
    bool outerWasDisabled = false;
    outer.steps = {[&](ScriptedDialog& o) {
        ScriptedDialog inner(t.Get(), &o);
        inner.steps = {
            [&](ScriptedDialog&) { PostThreadMessageW(thread, kThreadMessage, 1, 0); },
            [&](ScriptedDialog& i) {
                outerWasDisabled = !IsWindowEnabled(o.m_hWnd);
                i.EndDialog(5);
            },
        };
        // This handler stays on the stack while the inner loop runs.
        innerResult = inner.DoModal();
        o.EndDialog(6);
    }};
    EXPECT_EQ(outer.DoModal(), 6);
    EXPECT_EQ(innerResult, 5);
    EXPECT_EQ(app.received, (std::vector<int>{1}));
    EXPECT_TRUE(outerWasDisabled) << "a modal dialog disables its owner";
}

TEST_F(DialogTest, ThreadMessageDuringSystemMessageBoxReachesTheApplication) {
    DialogTemplate t = PopupTemplate();
    ScriptedDialog dlg(t.Get());
    DWORD thread = GetCurrentThreadId();
    InstallThreadMessageFilter();
    // The message box runs the system's own modal loop; a worker posts to this thread
    // while it runs and then closes the box.
    std::atomic<bool> boxUp{false};
    dlg.steps = {[&](ScriptedDialog& d) {
        struct Args {
            DWORD thread;
            HWND owner;
        };
        static Args args;
        args = {thread, d.m_hWnd};
        AfxBeginThread(
            [](void* p) -> UINT {
                auto* a = static_cast<Args*>(p);
                HWND box = nullptr;
                for (int i = 0; i < 200 && !box; i++) {
                    Sleep(20);
                    box = FindWindowW(L"#32770", L"classlib box");
                }
                PostThreadMessageW(a->thread, kThreadMessage, 99, 0);
                Sleep(200);
                if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
                return 0;
            },
            &args);
        boxUp = true;
        MessageBoxW(d.m_hWnd, L"text", L"classlib box", MB_OK);
        d.EndDialog(1);
    }};
    EXPECT_EQ(dlg.DoModal(), 1);
    EXPECT_TRUE(boxUp);
    ASSERT_EQ(app.received.size(), 1u);
    EXPECT_EQ(app.received[0], 99);
}

TEST_F(DialogTest, ExceptionInHandlerIsCaughtAndTheLoopGoesOn) {
    DialogTemplate t = PopupTemplate();
    ScriptedDialog dlg(t.Get());
    bool afterThrow = false;
    dlg.steps = {
        [](ScriptedDialog&) { throw std::runtime_error("handler failed"); },
        [](ScriptedDialog&) { throw 17; },
        [&](ScriptedDialog& d) {
            afterThrow = true;
            d.EndDialog(3);
        },
    };
    EXPECT_EQ(dlg.DoModal(), 3);
    EXPECT_TRUE(afterThrow);
}

TEST_F(DialogTest, HiddenModalDialogStaysHidden) {
    DialogTemplate t = PopupTemplate();
    ScriptedDialog dlg(t.Get());
    dlg.keepHidden = true;
    bool visible = true;
    dlg.steps = {[&](ScriptedDialog& d) {
        visible = d.IsWindowVisible() != FALSE;
        d.ShowWindow(SW_SHOW);   // a later show request is refused too
        visible = visible || d.IsWindowVisible();
        d.EndDialog(0);
    }};
    dlg.DoModal();
    EXPECT_TRUE(dlg.sawShowRequest) << "the modal loop asks to show the dialog";
    EXPECT_FALSE(visible);
}

TEST_F(DialogTest, PreTranslateWalksFromControlToDialogAndStopsWhenConsumed) {
    for (bool consume : {false, true}) {
        SCOPED_TRACE(consume ? "edit consumes" : "edit passes");
        DialogTemplate t = PopupTemplate();
        ScriptedDialog dlg(t.Get());
        ProbeEdit edit;
        edit.consumeKeys = consume;
        edit.log = &dlg.preTranslated;
        dlg.onInit = [&] { ASSERT_TRUE(edit.SubclassDlgItem(kEditId, &dlg)); };
        dlg.steps = {
            [&](ScriptedDialog& d) { PostMessageW(d.GetDlgItem(kEditId), WM_KEYDOWN, 'Q', 0); },
            [&](ScriptedDialog& d) { d.EndDialog(0); },
        };
        dlg.DoModal();
        std::vector<std::string> expected = consume ? std::vector<std::string>{"edit"}
                                                    : std::vector<std::string>{"edit", "dialog"};
        EXPECT_EQ(dlg.preTranslated, expected);
    }
}

TEST_F(DialogTest, NotificationsAreReflectedToTheAttachedControl) {
    DialogTemplate t = PopupTemplate();
    ScriptedDialog dlg(t.Get());
    ProbeEdit edit;
    std::vector<std::string> log;
    edit.log = &log;
    dlg.onInit = [&] { edit.SubclassDlgItem(kEditId, &dlg); };
    dlg.steps = {
        [&](ScriptedDialog& d) { SetWindowTextW(d.GetDlgItem(kEditId), L"changed"); },
        [&](ScriptedDialog& d) { d.EndDialog(0); },
    };
    dlg.DoModal();
    EXPECT_GE(edit.reflectedChanges, 1);
}

class ExchangeDialog : public ScriptedDialog {
public:
    using ScriptedDialog::ScriptedDialog;
    std::wstring text;
    int checked = 0;
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, kEditId, text);
        DDX_Check(dx, kCheckId, checked);
    }
};

TEST_F(DialogTest, DataExchangeLoadsAndSavesMembers) {
    DialogTemplate t = PopupTemplate();
    ExchangeDialog dlg(t.Get());
    dlg.text = L"C:\\shots \x00e9";
    dlg.checked = 1;
    std::wstring shown;
    LRESULT shownCheck = 0;
    dlg.steps = {[&](ScriptedDialog& d) {
        wchar_t buf[64] = {};
        GetWindowTextW(d.GetDlgItem(kEditId), buf, 64);
        shown = buf;
        shownCheck = SendMessageW(d.GetDlgItem(kCheckId), BM_GETCHECK, 0, 0);
        SetWindowTextW(d.GetDlgItem(kEditId), L"D:\\new");
        SendMessageW(d.GetDlgItem(kCheckId), BM_SETCHECK, BST_UNCHECKED, 0);
        // OK saves the controls into the members and ends the dialog.
        PostMessageW(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)d.GetDlgItem(IDOK));
    }};
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(shown, L"C:\\shots \x00e9");
    EXPECT_EQ(shownCheck, BST_CHECKED);
    EXPECT_EQ(dlg.text, L"D:\\new");
    EXPECT_EQ(dlg.checked, 0);
}

TEST_F(DialogTest, ModelessChildDialogLivesInsideItsParent) {
    DialogTemplate t = PopupTemplate();
    DialogTemplate childTemplate(WS_CHILD | DS_CONTROL, 80, 40, L"");
    childTemplate.Control(0x0082, 1500, 0, 0, 0, 60, 10, L"page");
    ScriptedDialog dlg(t.Get());
    CDialog page(childTemplate.Get());
    bool isChild = false;
    dlg.onInit = [&] { ASSERT_TRUE(page.Create(&dlg)); };
    dlg.steps = {[&](ScriptedDialog& d) {
        isChild = GetParent(page.m_hWnd) == d.m_hWnd && GetDlgItem(page.m_hWnd, 1500) != nullptr;
        d.EndDialog(0);
    }};
    dlg.DoModal();
    EXPECT_TRUE(isChild);
    EXPECT_EQ(page.m_hWnd, nullptr) << "destroyed with its parent";
}

TEST(WorkerThreadTest, ThrowingThreadEndsAndTheProcessGoesOn) {
    static std::atomic<int> stage{0};
    ASSERT_TRUE(AfxBeginThread(
        [](void*) -> UINT {
            stage = 1;
            throw std::runtime_error("worker failed");
        },
        nullptr));
    ASSERT_TRUE(AfxBeginThread(
        [](void*) -> UINT {
            while (stage != 1) Sleep(1);
            Sleep(50);
            stage = 2;
            return 0;
        },
        nullptr));
    for (int i = 0; i < 500 && stage != 2; i++) Sleep(10);
    EXPECT_EQ(stage.load(), 2);
}

}  // namespace
