#include "console/commands/default_command.h"

#include <memory>

#include "console/change_report.h"
#include "console/command_prerequisites.h"
#include "console/console_context.h"
#include "console/make_default.h"
#include "console/setup_run_steps.h"
#include "install/spooler/installed_queues.h"

Outcome RunDefaultCommand(CConsoleContext& context) {
    Outcome exit = Outcome::kSuccess;
    if (!UseSetupFolder(context, exit) || !ChooseModel(context, exit))
        return exit;
    SetupContext& setup = context.Setup();
    // On CUPS the scheduler's default, for every user without one of their own (lpoptions -d),
    // is changed under the lock like every change, after the repair of a run stopped dead. On
    // Windows the command sets the running user's own default, in the user's context, which can
    // read no backup and needs no lock.
    std::unique_ptr<CSetupRun> run;
    if (context.Cups() && !context.DryRun()) {
        run = std::make_unique<CSetupRun>(setup, kConsoleProgramName);
        if (!BeginRun(context, *run, CSetupRun::Needs::kPrinter, exit))
            return exit;
    }
    const auto end = [&](bool succeeded, const std::wstring& result, Outcome outcome) {
        return run != nullptr ? EndRun(context, *run, succeeded, result, outcome) : outcome;
    };
    if (setup.FindPrinter(setup.printerName) == 0) {
        context.Host().Err(std::wstring(L"No printer named ") + setup.printerName +
                           L" is installed.");
        return end(false, L"not made the default",
                   Report(context, L"", {false, L"failed"}, Outcome::kFailed));
    }
    if (LookUpDefaultPrinter(setup.printerName) == QueueLookup::kPresent)
        return end(
            true, L"the default already",
            Report(context,
                   context.PrinterName() + L" is the default printer already; nothing to do.",
                   {false, L"unchanged"}, Outcome::kSuccess));
    return MakeDefault(context, L"", run.get());
}
