#include "platform/win32/win32_pnp_service.h"

#include <windows.h>
#include <newdev.h>

#include "platform/win32/win32_failure.h"

bool CWin32PnpService::UpdateDriver(const wchar_t* hardwareId, const wchar_t* infPath) {
    // The wizard offers no restart, so the flag that says one is needed is not read.
    BOOL rebootRequired = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesW(nullptr, hardwareId, infPath, INSTALLFLAG_FORCE,
                                            &rebootRequired)) {
        RecordWin32Failure(L"UpdateDriverForPlugAndPlayDevicesW", GetLastError());
        return false;
    }
    return true;
}
