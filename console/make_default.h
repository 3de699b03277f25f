#pragma once

#include <string>

#include "console/exit_codes.h"

class CConsoleContext;
class CSetupRun;
class CStepFailures;

// Makes the chosen printer the default and confirms it with a look (`port`: for the report), in
// `run` when one has begun, in a run of its own for an install. The default command and an
// install that finds its printer installed but not the default both come here.
Outcome MakeDefault(CConsoleContext& context, const std::wstring& port, CSetupRun* run = nullptr);

// Says that the print system did not make the chosen printer the default, with the reason `step`
// caught, and gives the outcome: a failure, as the default command's.
Outcome DefaultNotMade(CConsoleContext& context, const CStepFailures& step);
