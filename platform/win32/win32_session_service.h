#pragma once

#include "platform/session_service.h"

// The rights of the process, read from its access token, and the print mode of the system.
class CWin32SessionService : public ISessionService {
  public:
    bool IsElevated() override;
    // Asks the Windows Runtime class that reports the mode (Windows 11 24H2 and later); where it
    // is not registered (older Windows, Wine), the mode does not exist and is off.
    bool IsProtectedPrintOn() override;
    // The security identifier of the process token's user.
    std::wstring AccountName() override;
};
