#pragma once

#include "platform/pnp_service.h"

// The driver update of the Plug-and-Play manager, through newdev.
class CWin32PnpService : public IPnpService {
  public:
    bool UpdateDriver(const wchar_t* hardwareId, const wchar_t* infPath) override;
    bool RestartRequired() const override;

  private:
    bool m_restartRequired = false;
};
