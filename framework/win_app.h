#pragma once

#include <windows.h>

// The application object: one per process, whose start-up runs the program. There is no message
// loop of the framework's own; an application whose InitInstance returns FALSE ends after it.
class CWinApp {
  public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();

    // Where an application would keep its settings. This one keeps none, so nothing is stored.
    void SetRegistryKey(const wchar_t* company);

    static CWinApp* Current();
};

// What wWinMain does: runs the application object's start-up. Returns the process's exit code.
int RunApplication();
