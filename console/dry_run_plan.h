#pragma once

#include <string>

#include "console/exit_codes.h"

class CConsoleContext;

// --dry-run: what a changing command would do, found from looks alone. No lock is taken, no log
// written and no file made, so a plan may differ from the run if the print system changes in
// between.

// A line of the plan: on standard output, or beside the JSON on standard error.
void Say(CConsoleContext& context, const std::wstring& line);

// What the repair of runs stopped before they ended would do first. False when it would have to
// wait for a look the print system did not give, as the run then would (said on standard error).
bool PlanRepairs(CConsoleContext& context);

// The plans of install (on `port`), remove and restore, each with the command's report.
Outcome PlanInstall(CConsoleContext& context, const std::wstring& port);
Outcome PlanRemove(CConsoleContext& context);
Outcome PlanRestore(CConsoleContext& context);
