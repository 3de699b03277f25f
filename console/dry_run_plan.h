#pragma once

#include <string>

#include "console/exit_codes.h"

class CConsoleContext;

// --dry-run: what a changing command would do, found from looks alone. No lock is taken, no log
// written and no file made, so a plan may differ from the run if the print system changes in
// between.

// A line of the plan: on standard output, or beside the JSON on standard error.
void Say(CConsoleContext& context, const std::wstring& line);

// The queues that runs stopped before they ended would have made again first.
void PlanRepairs(CConsoleContext& context);

// The plans of install (on `port`), remove and restore, each with the command's report.
Outcome PlanInstall(CConsoleContext& context, const std::wstring& port);
Outcome PlanRemove(CConsoleContext& context);
Outcome PlanRestore(CConsoleContext& context);
