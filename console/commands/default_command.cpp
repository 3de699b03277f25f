#include "console/commands/default_command.h"

#include <memory>

#include "console/change_report.h"
#include "console/command_prerequisites.h"
#include "console/console_context.h"
#include "console/make_default.h"
#include "console/setup_run_steps.h"
#include "install/spooler/installed_queues.h"
#include "platform/log_sink.h"

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
    const auto end = [&](const std::wstring& text, const Change& change, Outcome outcome) {
        return run != nullptr ? EndRun(context, *run, text, change, outcome)
                              : Report(context, text, change, outcome);
    };
    const CStepFailures look;
    if (setup.FindPrinter(setup.printerName) == 0) {
        const std::wstring missing =
            std::wstring(L"No printer named ") + setup.printerName + L" is installed.";
        context.Host().Err(missing);
        const Outcome failure = Failed(context, look, Outcome::kFailed);
        // A look that failed has the platform's reason; a printer that is not there is its own.
        if (look.Reason().empty())
            context.SetFailureReason(missing);
        return end(L"", {false, L"failed"}, failure);
    }
    if (LookUpDefaultPrinter(setup.printerName) == QueueLookup::kPresent)
        return end(context.PrinterName() + L" is the default printer already; nothing to do.",
                   {false, L"unchanged"}, Outcome::kSuccess);
    return MakeDefault(context, L"", run.get());
}
