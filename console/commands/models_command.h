#pragma once

#include "console/exit_codes.h"

class CConsoleContext;

// pavonis models: the series of the setup data, each with its models, their printer names,
// driver families and INF files.
Outcome RunModelsCommand(CConsoleContext& context);
