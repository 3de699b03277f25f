#pragma once

#include "console/exit_codes.h"

class CConsoleContext;

// pavonis validate: checks a setup folder and lists every finding.
Outcome RunValidateCommand(CConsoleContext& context);
