#pragma once

#include "framework/win_app.h"

// The application: its start-up runs the wizard, and the program ends when the wizard closes.
class CPavonisApp : public CWinApp {
  public:
    BOOL InitInstance() override;
};
