#include "classlib/WinApp.h"

#include <exception>

#include "classlib/Wnd.h"
#include "foundation/Log.h"

CWinApp* CWinApp::s_app = nullptr;

CWinApp::CWinApp() {
    s_app = this;
}

CWinApp::~CWinApp() {
    if (s_app == this) s_app = nullptr;
}

CWinApp* AfxGetApp() {
    return CWinApp::Get();
}

bool WalkPreTranslateTree(MSG& msg) {
    for (HWND hwnd = msg.hwnd; hwnd != nullptr; hwnd = GetParent(hwnd)) {
        CWnd* wnd = CWnd::FromHandle(hwnd);
        if (wnd && wnd->PreTranslateMessage(&msg)) return true;
    }
    return false;
}

namespace {

// Runs a thread message through the application's handler inside a catch-all: the
// caller may be a hook called from a system modal loop.
bool RouteThreadMessage(const MSG& msg) noexcept {
    CWinApp* app = AfxGetApp();
    if (!app) return false;
    try {
        return app->OnThreadMessage(msg);
    } catch (const std::exception& e) {
        Log("Thread message 0x%04x: %s\n", msg.message, e.what());
    } catch (...) {
        Log("Thread message 0x%04x: unknown exception\n", msg.message);
    }
    return true;
}

thread_local HHOOK t_msgFilterHook = nullptr;

LRESULT CALLBACK MsgFilterProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code >= 0) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (msg && msg->hwnd == nullptr && msg->message != WM_NULL && RouteThreadMessage(*msg)) return TRUE;
    }
    return CallNextHookEx(t_msgFilterHook, code, wParam, lParam);
}

}  // namespace

void InstallThreadMessageFilter() {
    if (t_msgFilterHook) return;
    t_msgFilterHook = SetWindowsHookExW(WH_MSGFILTER, &MsgFilterProc, nullptr, GetCurrentThreadId());
    if (!t_msgFilterHook) Log("InstallThreadMessageFilter: failed, error %lu\n", GetLastError());
}

void PumpMessage(MSG& msg, HWND dialog) {
    CWinApp* app = AfxGetApp();
    if (msg.hwnd == nullptr) {
        RouteThreadMessage(msg);
        return;
    }
    if (WalkPreTranslateTree(msg)) return;
    if (app && app->PreTranslateMessage(&msg)) return;
    if (dialog && IsDialogMessageW(dialog, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int CWinApp::Run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        PumpMessage(msg, nullptr);
    }
    return ExitInstance();
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    try {
        app->m_hInstance = instance;
        InstallThreadMessageFilter();
        if (!app->InitInstance()) {
            return app->ExitInstance();
        }
        return app->Run();
    } catch (const std::exception& e) {
        Log("wWinMain: exception: %s\n", e.what());
    } catch (...) {
        Log("wWinMain: unknown exception\n");
    }
    return -1;
}
