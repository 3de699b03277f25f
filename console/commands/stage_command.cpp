#include "console/commands/stage_command.h"

#include "console/change_report.h"
#include "console/command_prerequisites.h"
#include "console/console_context.h"
#include "console/setup_run_steps.h"
#include "install/windows/driver_staging.h"
#include "platform/log_sink.h"

Outcome RunStageCommand(CConsoleContext& context) {
    Outcome exit = Outcome::kSuccess;
    if (!Elevated(context, exit) || !UseSetupFolder(context, exit) ||
        !ChooseModel(context, exit, true))
        return exit;
    SetupContext& setup = context.Setup();
    // A changing run like any other: under the lock, after the repair of a run stopped dead.
    CSetupRun run(setup, kConsoleProgramName);
    if (!BeginRun(context, run, CSetupRun::Needs::kPrinter, exit))
        return exit;
    const CStepFailures step;
    if (!StageModelDriver(setup)) {
        context.Host().Err(std::wstring(L"The driver package ") + setup.driverInfPath +
                           L" could not be put into the driver store.");
        return EndRun(context, run, L"", {false, L"failed"},
                      Failed(context, step, Outcome::kInstallFailed));
    }
    return EndRun(context, run, std::wstring(L"Staged ") + setup.driverInfPath + L".",
                  {true, L"staged"}, Outcome::kSuccess);
}
