#pragma once

#include "console/exit_codes.h"

class CConsoleContext;

// pavonis install: installs the chosen model's printer, or leaves it alone when it is installed
// as asked already.
Outcome RunInstallCommand(CConsoleContext& context);
