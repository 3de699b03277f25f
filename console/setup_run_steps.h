#pragma once

#include <string>

#include "console/exit_codes.h"
#include "install/run/setup_run.h"

class CConsoleContext;

// The steps every changing command takes around its setup run.

// Starts the run: no stop asked for, the lock taken, the log opened, unfinished runs repaired
// (said on standard error). False with the exit code, the report already given.
bool BeginRun(CConsoleContext& context, CSetupRun& run, CSetupRun::Needs needs, Outcome& exit);

// The outcome of a failed step of `run`: kNotAuthorized, with advice, when the system refused
// that very step for want of rights; otherwise `failure`.
Outcome Failed(CConsoleContext& context, const CSetupRun& run, Outcome failure);

// Ends a run with the command's result line, copying its log to --log when asked.
Outcome EndRun(CConsoleContext& context, CSetupRun& run, bool succeeded, const std::wstring& result,
               Outcome exit);

// Says on standard error what the run noticed since it was last asked (repairs, a folder moved
// aside, credentials it could not keep).
void ShowNotices(CConsoleContext& context, const CSetupRun& run);
