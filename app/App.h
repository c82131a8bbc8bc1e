#pragma once
#include "classlib/WinApp.h"

// The application: brings the process up in a fixed order and runs the main window.
class CtavimorerfApp : public CWinAppEx {
public:
    CtavimorerfApp();
    ~CtavimorerfApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
};

extern CtavimorerfApp theApp;
