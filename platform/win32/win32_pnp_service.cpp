#include "platform/win32/win32_pnp_service.h"

#include <windows.h>
#include <newdev.h>

#include "platform/win32/win32_failure.h"

bool CWin32PnpService::UpdateDriver(const wchar_t* hardwareId, const wchar_t* infPath) {
    // The system offers no restart itself when given a place for the answer: the wizard keeps
    // its success text, and the console program tells the deployment engine with its exit code.
    BOOL rebootRequired = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesW(nullptr, hardwareId, infPath, INSTALLFLAG_FORCE,
                                            &rebootRequired)) {
        RecordWin32Failure(L"UpdateDriverForPlugAndPlayDevicesW", GetLastError());
        return false;
    }
    m_restartRequired = rebootRequired != FALSE;
    return true;
}

bool CWin32PnpService::RestartRequired() const {
    return m_restartRequired;
}
