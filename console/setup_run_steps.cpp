#include "console/setup_run_steps.h"

#include "console/console_context.h"
#include "platform/log_copy.h"
#include "platform/log_sink.h"
#include "platform/native_path.h"

namespace {

// Says why a command failed, in the platform's own words where it has them: on standard error,
// where a person sees it, and in --json's report, which a deployment engine shows. The log is
// root's alone on Linux and lies on each desk: it cannot be the only place a reason lives.
void SayWhy(CConsoleContext& context, const std::wstring& reason) {
    if (reason.empty())
        return;
    context.Host().Err(L"Reason: " + reason);
    context.SetFailureReason(reason);
}

Outcome Failed(CConsoleContext& context, bool refused, const std::wstring& reason,
               Outcome failure) {
    SayWhy(context, reason);
    if (!refused)
        return failure;
    context.Host().Err(
        context.Cups() ? L"The print system refused the change for want of rights: run it as root, "
                         L"or as a member of the group the print system lets administer printers "
                         L"(lpadmin)."
                       : L"The spooler refused the change for want of rights: run it from an "
                         L"elevated prompt, or as SYSTEM.");
    return Outcome::kNotAuthorized;
}

// Says why Begin failed and gives the report and exit code of a run that never began, and ends
// the run, whose log (when it has one) ends with the same outcome. The sentences said here are
// the reasons themselves, and --json's reason repeats them.
Outcome NotBegun(CConsoleContext& context, CSetupRun& run) {
    IConsoleHost& host = context.Host();
    Change change(false, L"failed");
    Outcome exit = Outcome::kInstallFailed;
    if (run.ProtectedPrintOn()) {
        host.Err(
            L"Windows protected print mode is on: it lets in only the printer drivers "
            L"that come with Windows, so this printer's driver cannot be installed. "
            L"Turn the mode off (Settings, Bluetooth & devices, Printers & scanners), "
            L"or ask the administrator who set it by policy. Nothing was touched.");
        context.SetFailureReason(
            L"Windows protected print mode is on: it lets in only the printer drivers that come "
            L"with Windows.");
    } else if (run.RepairWaits()) {
        // The notices say what waits, and the reason why the print system could not be asked.
        ShowNotices(context, run);
        SayWhy(context, run.FailureReason());
        change = Change(false, L"busy");
        exit = Outcome::kAnotherInstall;
    } else if (run.LockBusy()) {
        host.Err(run.LockProblem().empty()
                     ? L"Another setup of Korvel printers is running; try again when it has "
                       L"ended. Nothing was touched, and no log was written."
                     : run.LockProblem() + L" Nothing was touched, and no log was written.");
        context.SetFailureReason(run.LockProblem().empty()
                                     ? L"Another setup of Korvel printers is running."
                                     : run.LockProblem());
        change = Change(false, L"busy");
        exit = Outcome::kAnotherInstall;
    } else {
        const std::wstring problem =
            run.LockProblem().empty()
                ? L"The setup could not begin: the run lacks a printer or port."
                // The lock's own texts are whole sentences that name it.
                : (run.ProgramFolderUnsafe() || run.LockProblem().rfind(L"The setup lock", 0) == 0
                       ? run.LockProblem()
                       : L"The setup lock could not be had: " + run.LockProblem());
        host.Err(problem + L" Nothing was touched.");
        context.SetFailureReason(problem);
        exit = Failed(context, run.FailureWasRefusal(), L"", Outcome::kInstallFailed);
        if (run.FailureWasRefusal())
            change = Change(false, L"refused");
    }
    Report(context, L"", change, exit);
    run.End(false, change.outcome);
    return exit;
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
    run.SetLockWait(context.Call().LockWaitMs());
    run.SetCommand(context.Call().command);
    if (!run.Begin(needs)) {
        exit = NotBegun(context, run);
        return false;
    }
    context.NoteRepairs(run.Repaired(), run.RepairMovedDefault());
    ShowNotices(context, run);
    return true;
}

Outcome Failed(CConsoleContext& context, const CSetupRun& run, Outcome failure) {
    return Failed(context, run.FailureWasRefusal(), run.FailureReason(), failure);
}

Outcome Failed(CConsoleContext& context, const CStepFailures& step, Outcome failure) {
    return Failed(context, step.Refused(), step.Reason(), failure);
}

std::wstring LogPointer(const CSetupRun& run) {
    return L"the log (" + run.LogPath() +
           (run.FailureReason().empty() ? L") says why" : L") has the details");
}

Outcome EndRun(CConsoleContext& context, CSetupRun& run, const std::wstring& text,
               const Change& change, Outcome exit) {
    Report(context, text, change, exit);
    ShowNotices(context, run);
    // The log's result is the outcome --json reports, in the same word, so that the two never
    // tell an administrator different stories.
    run.End(exit == Outcome::kSuccess || exit == Outcome::kRestartRequired,
            change.outcome + (change.restart ? L"; a restart is needed" : L""));
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
