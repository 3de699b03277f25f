#include "framework/win_app.h"

namespace {

CWinApp* g_application = nullptr;

}  // namespace

CWinApp::CWinApp() {
    g_application = this;
}

CWinApp::~CWinApp() {
    if (g_application == this)
        g_application = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

void CWinApp::SetRegistryKey(const wchar_t*) {}

CWinApp* CWinApp::Current() {
    return g_application;
}

int RunApplication() {
    CWinApp* application = CWinApp::Current();
    if (application != nullptr)
        application->InitInstance();
    return 0;
}
