#pragma once

#include <string>

#include "console/exit_codes.h"

class CConsoleContext;
class CSetupRun;

// Makes the chosen printer the default and confirms it with a look (`port`: for the report), in
// `run` when one has begun, in a run of its own for an install. The default command and an
// install that finds its printer installed but not the default both come here.
Outcome MakeDefault(CConsoleContext& context, const std::wstring& port, CSetupRun* run = nullptr);
