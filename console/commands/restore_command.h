#pragma once

#include "console/exit_codes.h"

class CConsoleContext;

// pavonis restore: makes the queues of a backup file again.
Outcome RunRestoreCommand(CConsoleContext& context);
