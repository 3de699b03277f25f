#pragma once

#include "console/exit_codes.h"

class CConsoleContext;

// pavonis stage: puts the chosen model's driver package into the Windows driver store.
Outcome RunStageCommand(CConsoleContext& context);
