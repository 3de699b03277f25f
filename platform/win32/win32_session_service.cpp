#include "platform/win32/win32_session_service.h"

#include <windows.h>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_failure.h"

bool CWin32SessionService::IsElevated() {
    // A token that cannot be read counts as not elevated: the caller then refuses to start
    // rather than failing half way through a change of the spooler.
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        RecordWin32Failure(L"OpenProcessToken", GetLastError());
        return false;
    }
    const UniqueHandle token(raw);
    // Under UAC an administrator's program is elevated only when started "as administrator";
    // the system account's always is. Wine 8 answers elevated for every process, of the full
    // elevation type (measured).
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size)) {
        RecordWin32Failure(L"GetTokenInformation", GetLastError());
        return false;
    }
    return elevation.TokenIsElevated != 0;
}
