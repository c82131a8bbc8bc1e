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
// modal loop: thread messages go to the application; a window message is offered to
// PreTranslateMessage of its target window and then of each parent (or owner) up to
// the top, then to the application's PreTranslateMessage, then to dialog navigation
// for `dialog` (may be null; for a dialog window without a CDialog object), and is
// dispatched when nobody consumed it.
void PumpMessage(MSG& msg, HWND dialog);

// The PreTranslateMessage walk alone; true when some window consumed the message.
bool WalkPreTranslateTree(MSG& msg);

// Routes thread messages that arrive while a system modal loop runs (MessageBox, menus,
// common dialogs, which would otherwise drop them) to the application, through a
// WH_MSGFILTER hook on the calling thread. Called once by wWinMain for the UI thread.
void InstallThreadMessageFilter();
