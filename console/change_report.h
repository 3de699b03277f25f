#pragma once

#include <string>
#include <utility>

#include "console/exit_codes.h"

class CConsoleContext;

// What a changing command did, for its last words: a line of text, or with --json one line of
// JSON that a configuration-management engine acts on instead.
struct Change {
    Change(bool changed_, std::wstring outcome_, std::wstring port_ = {}, std::wstring backup_ = {},
           bool restart_ = false)
        : changed(changed_),
          outcome(std::move(outcome_)),
          port(std::move(port_)),
          backup(std::move(backup_)),
          restart(restart_) {}
    bool changed;
    std::wstring outcome;  // "installed", "unchanged", "removed", "restored", "failed", ...
    std::wstring port;
    std::wstring backup;
    bool restart;  // the computer must restart before the driver is in use
};

// Says what a changing command did or, with --dry-run, would do, and returns `exit`.
Outcome Report(CConsoleContext& context, const std::wstring& text, const Change& change,
               Outcome exit);
