#pragma once

#include "platform/session_service.h"

// The rights of the process, read from its access token.
class CWin32SessionService : public ISessionService {
  public:
    bool IsElevated() override;
};
