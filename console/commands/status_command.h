#pragma once

#include "console/exit_codes.h"

class CConsoleContext;

// pavonis status: one line when the chosen model's printer is installed, none when it is not.
Outcome RunStatusCommand(CConsoleContext& context);
