#include "console/setup_run_steps.h"

#include "console/change_report.h"
#include "console/console_context.h"
#include "platform/log_copy.h"
#include "platform/native_path.h"

namespace {

// Says why Begin failed and gives the report and exit code of a run that never began.
Outcome NotBegun(CConsoleContext& context, const CSetupRun& run) {
    IConsoleHost& host = context.Host();
    if (run.ProtectedPrintOn()) {
        host.Err(
            L"Windows protected print mode is on: it lets in only the printer drivers "
            L"that come with Windows, so this printer's driver cannot be installed. "
            L"Turn the mode off (Settings, Bluetooth & devices, Printers & scanners), "
            L"or ask the administrator who set it by policy. Nothing was touched.");
        return Report(context, L"", {false, L"failed"}, Outcome::kInstallFailed);
    }
    if (run.RepairWaits()) {
        // The notices say why: a run stopped dead waits for a look the print system did not give.
        ShowNotices(context, run);
        return Report(context, L"", {false, L"busy"}, Outcome::kAnotherInstall);
    }
    if (run.LockBusy()) {
        host.Err(run.LockProblem().empty()
                     ? L"Another setup of Korvel printers is running; try again when it has "
                       L"ended. Nothing was touched, and no log was written."
                     : run.LockProblem() + L" Nothing was touched, and no log was written.");
        return Report(context, L"", {false, L"busy"}, Outcome::kAnotherInstall);
    }
    host.Err(run.LockProblem().empty()
                 ? L"The setup could not begin: the run lacks a printer or port; "
                   L"nothing was touched."
                 // The lock's own texts are whole sentences that name it.
                 : (run.LockProblem().rfind(L"The setup lock", 0) == 0
                        ? run.LockProblem()
                        : L"The setup lock could not be had: " + run.LockProblem()) +
                       L" Nothing was touched.");
    return Report(context, L"", {false, run.FailureWasRefusal() ? L"refused" : L"failed"},
                  Failed(context, run, Outcome::kInstallFailed));
}

}  // namespace

bool BeginRun(CConsoleContext& context, CSetupRun& run, CSetupRun::Needs needs, Outcome& exit) {
    IConsoleHost& host = context.Host();
    host.AllowImmediateStop(false);
    // A stop asked for before anything started leaves everything as it is.
    if (host.StopRequested()) {
        host.Err(L"Stopped on request; nothing was touched.");
        exit = Report(context, L"", {false, L"cancelled"}, Outcome::kCancelled);
        return false;
    }
    // The run asks the check after this call has returned, so it keeps the host's address.
    IConsoleHost* stopHost = &host;
    run.SetStopCheck([stopHost] { return stopHost->StopRequested(); });
    run.SetForce(context.Call().Has(L"--force"));
    run.SetCommand(context.Call().command);
    if (!run.Begin(needs)) {
        exit = NotBegun(context, run);
        run.End(false, L"not begun");
        return false;
    }
    context.NoteRepairs(run.Repaired(), run.RepairMovedDefault());
    ShowNotices(context, run);
    return true;
}

Outcome Failed(CConsoleContext& context, const CSetupRun& run, Outcome failure) {
    if (!run.FailureWasRefusal())
        return failure;
    context.Host().Err(
        context.Cups() ? L"The print system refused the change for want of rights: run it as root, "
                         L"or as a member of the group the print system lets administer printers "
                         L"(lpadmin)."
                       : L"The spooler refused the change for want of rights: run it from an "
                         L"elevated prompt, or as SYSTEM.");
    return Outcome::kNotAuthorized;
}

Outcome EndRun(CConsoleContext& context, CSetupRun& run, bool succeeded, const std::wstring& result,
               Outcome exit) {
    ShowNotices(context, run);
    run.End(succeeded, result);
    const std::wstring logFile = context.Call().Value(L"--log");
    if (!logFile.empty() && !AppendToLogCopy(logFile, run.LogText()))
        context.Host().Err(L"Could not write the log to " + DisplayPath(logFile) + L".");
    return exit;
}

void ShowNotices(CConsoleContext& context, const CSetupRun& run) {
    size_t& shown = context.NoticesShown();
    for (; shown < run.Notices().size(); ++shown)
        context.Host().Err(run.Notices()[shown]);
}
