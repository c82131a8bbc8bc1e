#include "classlib/WinApp.h"

#include <exception>

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

void PumpMessage(MSG& msg, HWND dialog) {
    CWinApp* app = AfxGetApp();
    if (msg.hwnd == nullptr) {
        if (app) app->OnThreadMessage(msg);
        return;
    }
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
