#pragma once

#include "console/exit_codes.h"

class CConsoleContext;

// pavonis detect: the USB printer connected, and whether the setup data lists its model.
Outcome RunDetectCommand(CConsoleContext& context);
