#include "console/commands/remove_command.h"

#include "console/change_report.h"
#include "console/command_prerequisites.h"
#include "console/console_context.h"
#include "console/dry_run_plan.h"
#include "console/setup_run_steps.h"
#include "platform/install_record_service.h"
#include "platform/services.h"

namespace {

// The end of a removal that left a queue of the printer behind.
Outcome NotRemoved(CConsoleContext& context, CSetupRun& run) {
    const bool cancelled = run.Cancelled();
    context.Host().Err(std::wstring(cancelled ? L"Stopped on request; " : L"") +
                       L"Not every queue of " + context.Setup().printerName + L" was removed; " +
                       LogPointer(run) + L".");
    const Outcome failure =
        cancelled ? Outcome::kCancelled : Failed(context, run, Outcome::kInstallFailed);
    return EndRun(
        context, run, L"",
        {!run.BackupPath().empty(), cancelled ? L"cancelled" : L"failed", L"", run.BackupPath()},
        failure);
}

}  // namespace

Outcome RunRemoveCommand(CConsoleContext& context) {
    Outcome exit = Outcome::kSuccess;
    if (!Elevated(context, exit) || !UseSetupFolder(context, exit) || !ChooseModel(context, exit))
        return exit;
    if (context.DryRun())
        return PlanRemove(context);
    SetupContext& setup = context.Setup();
    CSetupRun run(setup, kConsoleProgramName);
    if (!BeginRun(context, run, CSetupRun::Needs::kPrinter, exit))
        return exit;
    run.Remove();
    if (!run.ConfirmRemoval())
        return NotRemoved(context, run);
    // Only now, with no queue of the name left, does the install record go: detection rules
    // read it as "installed".
    if (IInstallRecordService* records = Services().installRecords)
        records->Delete(setup.printerName);
    const bool removed = !run.BackupPath().empty();
    return EndRun(
        context, run,
        removed
            ? L"Removed the queues of " + std::wstring(setup.printerName) + L", saved in " +
                  run.BackupPath() + L"."
            : L"No queue of " + std::wstring(setup.printerName) + L" is installed; nothing to do.",
        {removed, removed ? L"removed" : L"unchanged", L"", run.BackupPath()}, Outcome::kSuccess);
}
