#pragma once
#include "app/SingleInstanceApp.h"
#include "classlib/WinApp.h"

// Application base that owns the single-instance block and routes the registered
// thread message of a second start (in every message loop of the UI thread) to
// OnSecondInstance.
class CSingleInstanceApp : public CWinAppEx {
public:
    bool OnThreadMessage(const MSG& msg) override;
    virtual void OnSecondInstance() {}

protected:
    SingleInstanceApp m_singleInstance;
};

// The application: brings the process up in a fixed order and runs the main window.
class CtavimorerfApp : public CSingleInstanceApp {
public:
    CtavimorerfApp();
    ~CtavimorerfApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
    void OnSecondInstance() override;
};

extern CtavimorerfApp theApp;
