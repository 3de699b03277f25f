#include "console/make_default.h"

#include <memory>

#include "console/change_report.h"
#include "console/console_context.h"
#include "console/dry_run_plan.h"
#include "console/setup_run_steps.h"
#include "install/spooler/installed_queues.h"
#include "platform/log_sink.h"

Outcome MakeDefault(CConsoleContext& context, const std::wstring& port, CSetupRun* begun) {
    SetupContext& setup = context.Setup();
    const bool install = context.Call().command == L"install";
    const std::wstring made = std::wstring(setup.printerName) + L" the default printer";
    if (context.DryRun()) {
        if (context.Cups() || install)
            PlanRepairs(context);
        return Report(context, L"Would make " + made + L".", {true, L"madeDefault", port},
                      Outcome::kSuccess);
    }
    // An install's default is a change like its queue: under the lock, after the repairs.
    std::unique_ptr<CSetupRun> own;
    CSetupRun* run = begun;
    Outcome exit = Outcome::kSuccess;
    if (run == nullptr && install) {
        own = std::make_unique<CSetupRun>(setup, kConsoleProgramName);
        if (!BeginRun(context, *own, CSetupRun::Needs::kPrinter, exit))
            return exit;
        run = own.get();
    }
    setup.SetMakeDefault(1);
    const CStepFailures step;
    CQueueInstall* queueInstall = context.QueueInstall();
    const bool asked = queueInstall != nullptr ? queueInstall->MakeDefault(setup)
                                               : setup.MakeDefaultPrinter(nullptr) != 0;
    // Only a look afterwards tells: the printer UI's command says nothing of what it did, and a
    // command still running at its wait limit did nothing yet.
    const bool confirmed =
        asked && LookUpDefaultPrinter(setup.printerName) == QueueLookup::kPresent;
    std::wstring text = L"Made " + made + L".";
    Change change(true, L"madeDefault", port);
    exit = Outcome::kSuccess;
    if (!confirmed) {
        text.clear();
        change = Change(false, L"failed", port);
        exit = DefaultNotMade(context, step);
    }
    return run != nullptr ? EndRun(context, *run, text, change, exit)
                          : Report(context, text, change, exit);
}

Outcome DefaultNotMade(CConsoleContext& context, const CStepFailures& step) {
    const std::wstring text = std::wstring(L"The print system did not make ") +
                              context.Setup().printerName + L" the default printer.";
    context.Host().Err(text);
    const Outcome exit = Failed(context, step, Outcome::kFailed);
    // The printer UI's command may end without a word while nothing changed.
    if (step.Reason().empty())
        context.SetFailureReason(text);
    return exit;
}
