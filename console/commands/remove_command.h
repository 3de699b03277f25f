#pragma once

#include "console/exit_codes.h"

class CConsoleContext;

// pavonis remove: removes every queue of the chosen model's printer, saved in a backup first.
Outcome RunRemoveCommand(CConsoleContext& context);
