#pragma once

#include "console/exit_codes.h"

class CConsoleContext;

// pavonis default: makes the chosen model's printer the default.
Outcome RunDefaultCommand(CConsoleContext& context);
