#pragma once
#include <windows.h>

// The application object of the class layer. Exactly one object of a class derived
// from CWinApp exists, as a global; the program entry (wWinMain in WinApp_win.cpp)
// constructs nothing itself: it runs that object's InitInstance, then the message loop
// when InitInstance returns TRUE, and ExitInstance at the end.
class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return m_exitCode; }
    virtual int Run();

    // Called by every message loop of the UI thread (the main loop and each modal
    // loop) for a thread message (hwnd == NULL). Returns true when handled.
    virtual bool OnThreadMessage(const MSG& msg) { return false; }
    // Called by every message loop before a window message is dispatched; returns
    // true when the message was consumed.
    virtual BOOL PreTranslateMessage(MSG* msg) { return FALSE; }

    void SetRegistryKey(const wchar_t* key) { m_registryKey = key; }

    HINSTANCE m_hInstance = nullptr;
    HWND m_hMainWnd = nullptr;       // the main window; not owned
    const wchar_t* m_registryKey = nullptr;
    int m_exitCode = 0;

    static CWinApp* Get() { return s_app; }

private:
    static CWinApp* s_app;
};

// The extended application class; the program's application derives from it.
class CWinAppEx : public CWinApp {};

CWinApp* AfxGetApp();

// One pass of the UI thread's message handling, shared by the main loop and every
// modal loop: thread messages go to the application, window messages through
// PreTranslateMessage, then dialog navigation for `dialog` (may be null), then dispatch.
void PumpMessage(MSG& msg, HWND dialog);
