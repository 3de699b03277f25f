#pragma once

#include <string>

#include "console/change_report.h"
#include "console/exit_codes.h"
#include "install/run/setup_run.h"

class CConsoleContext;
class CStepFailures;

// The steps every changing command takes around its setup run.

// Starts the run: no stop asked for, the lock taken, the log opened, unfinished runs repaired
// (said on standard error). False with the exit code, the report already given.
bool BeginRun(CConsoleContext& context, CSetupRun& run, CSetupRun::Needs needs, Outcome& exit);

// The outcome of a failed step of `run`, after the command said what failed: says why on
// standard error ("Reason: " and the platform's own words) and in --json's "reason", and gives
// kNotAuthorized, with advice, when the system refused that very step for want of rights;
// otherwise `failure`.
Outcome Failed(CConsoleContext& context, const CSetupRun& run, Outcome failure);
// The same for a step the command took itself, outside the run's own steps (making the default,
// staging a driver).
Outcome Failed(CConsoleContext& context, const CStepFailures& step, Outcome failure);

// Where the run's log is, for the line that says what failed: "the log (PATH) has the details"
// once a reason was given, else "the log (PATH) says why".
std::wstring LogPointer(const CSetupRun& run);

// Says what the command did (Report: `text`, or with --json the JSON of `change`) and ends the
// run with the same outcome as the log's result line ("Result: unchanged."), copying its log to
// --log when asked. Returns `exit`.
Outcome EndRun(CConsoleContext& context, CSetupRun& run, const std::wstring& text,
               const Change& change, Outcome exit);

// Says on standard error what the run noticed since it was last asked (repairs, a folder moved
// aside, credentials it could not keep).
void ShowNotices(CConsoleContext& context, const CSetupRun& run);
