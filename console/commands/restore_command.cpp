#include "console/commands/restore_command.h"

#include "console/change_report.h"
#include "console/command_prerequisites.h"
#include "console/console_context.h"
#include "console/dry_run_plan.h"
#include "console/setup_run_steps.h"
#include "install/run/unfinished_runs.h"

namespace {

// What became of a queue of the backup, after its name.
const wchar_t* FateText(CSetupRun::RestoredQueue::Fate fate) {
    using Fate = CSetupRun::RestoredQueue::Fate;
    return fate == Fate::kMadeAgain  ? L"made again as it was saved."
           : fate == Fate::kAsSaved  ? L"installed as it was saved already."
           : fate == Fate::kReplaced ? L"replaced the queue of its name, which was saved."
           : fate == Fate::kDiffers
               ? L"a queue of this name with other settings is installed; kept (--force "
                 L"replaces it, saved first)."
               : L"not made again; the log says why.";
}

}  // namespace

Outcome RunRestoreCommand(CConsoleContext& context) {
    const ConsoleCall& call = context.Call();
    const std::wstring file = call.arguments.empty() ? L"" : call.arguments[0];
    if (!file.empty() && !IsBackupFileName(file)) {
        context.Host().Err(L"Not the name of a backup file: " + file +
                           L". Name a file of the backup folder, Backup-<time>.txt, without its "
                           L"folder.");
        context.Host().Err(L"Usage: pavonis restore [BACKUP] [--force]");
        return Outcome::kBadArguments;
    }
    Outcome exit = Outcome::kSuccess;
    if (!Elevated(context, exit))
        return exit;
    if (context.DryRun())
        return PlanRestore(context);
    // A restore needs no printer of the setup data, only the lock.
    CSetupRun run(context.Setup(), kConsoleProgramName);
    if (!BeginRun(context, run, CSetupRun::Needs::kNothing, exit))
        return exit;
    const bool whole = run.RestoreFile(file, call.Has(L"--force"));
    using Fate = CSetupRun::RestoredQueue::Fate;
    bool changed = false;
    for (const CSetupRun::RestoredQueue& queue : run.RestoredQueues()) {
        changed = changed || queue.fate == Fate::kMadeAgain || queue.fate == Fate::kReplaced ||
                  queue.madeDefault;
        if (!call.json)
            context.Host().Out(queue.name + L": " + FateText(queue.fate));
    }
    if (run.RestoreStarted() != CSetupRun::RestoreStart::kStarted) {
        context.Host().Err(run.RestoreProblem());
        context.SetFailureReason(run.RestoreProblem());
        return EndRun(context, run, L"", {false, L"failed", L"", L""},
                      run.RestoreStarted() == CSetupRun::RestoreStart::kNoFile
                          ? Outcome::kMissingSetup
                          : Outcome::kInstallFailed);
    }
    if (!whole) {
        context.Host().Err(L"Not every queue of the backup is installed as it was saved; " +
                           LogPointer(run) + L".");
        return EndRun(context, run, L"", {changed, L"failed", L"", run.BackupPath()},
                      Failed(context, run, Outcome::kInstallFailed));
    }
    return EndRun(context, run, L"",
                  {changed, changed ? L"restored" : L"unchanged", L"", run.BackupPath()},
                  Outcome::kSuccess);
}
