#include "console/commands/install_command.h"

#include <cstdio>
#include <vector>

#include "console/change_report.h"
#include "console/command_prerequisites.h"
#include "console/console_context.h"
#include "console/dry_run_plan.h"
#include "console/install_checks.h"
#include "console/make_default.h"
#include "console/setup_run_steps.h"
#include "detect/discovered_usb_printer.h"
#include "detect/usb_port.h"
#include "install/run/unfinished_runs.h"
#include "install/spooler/installed_queues.h"
#include "korvel_version.h"
#include "platform/clock_service.h"
#include "platform/install_record_service.h"
#include "platform/log_sink.h"
#include "platform/services.h"
#include "platform/spooler_service.h"
#include "setupdata/bounded_text.h"

namespace {

// The port page preselects it when no printer is connected.
constexpr wchar_t kDefaultPort[] = L"LPT1:";

// The port of an install without --port: on Windows the connected printer's, else LPT1:; on CUPS
// the connected printer's device URI, else none (false, with the exit code).
bool DefaultPort(CConsoleContext& context, std::wstring& port, Outcome& exit) {
    if (!context.Cups()) {
        // As the port page preselects: the connected printer's port, else LPT1:.
        CUSBPort detector;
        CString detected;
        port = detector.FindPortName(detected) == 1 ? detected : kDefaultPort;
        return true;
    }
    // CUPS has no port a printer could be waiting on, as LPT1: is on Windows.
    DiscoveredUsbPrinter discovered;
    if (DiscoverUsbPrinter(context.Setup(), discovered) == Discovery::kFound) {
        port = discovered.uri;
        return true;
    }
    context.Host().Err(
        L"No supported USB printer is connected: connect it, or name its device URI with "
        L"--port (pavonis ports lists them).");
    context.Host().Err(L"Usage: pavonis install --model M [--port URI]");
    exit = Outcome::kBadArguments;
    return false;
}

// The DriverVer of the chosen driver's INF file, or empty.
std::wstring DriverVersion(const SetupContext& setup) {
    wchar_t version[SetupContext::kPathWidth] = {};
    if (setup.ReadProfileString(L"Version", L"DriverVer", setup.driverInfPath, version,
                                SetupContext::kPathWidth) == 0) {
        return std::wstring();
    }
    return version;
}

// The driver's own version from a DriverVer line ("12/01/2026,1.0.0.0" gives "1.0.0.0"), or
// empty when the line names none.
std::wstring PlainDriverVersion(const std::wstring& driverVer) {
    const size_t comma = driverVer.find(L',');
    if (comma == std::wstring::npos)
        return std::wstring();
    const size_t begin = driverVer.find_first_not_of(L" \t", comma + 1);
    if (begin == std::wstring::npos)
        return std::wstring();
    return driverVer.substr(begin, driverVer.find_last_not_of(L" \t") - begin + 1);
}

// A printer installed as asked already: on Windows by its install record and its queue, on CUPS
// by the queue itself.
bool InstalledAsAsked(CConsoleContext& context, const std::wstring& port,
                      const std::wstring& version) {
    SetupContext& setup = context.Setup();
    if (context.QueueInstall() != nullptr)
        return context.QueueInstall()->IsInstalledAsAsked(setup);
    InstallRecord record;
    IInstallRecordService* records = Services().installRecords;
    return records != nullptr && records->Read(setup.printerName, record) && record.port == port &&
           record.driverVersion == version &&
           setup.FindPrinter(setup.printerName, port.c_str()) != 0;
}

// The answer to an install of a printer installed as asked: nothing to do, unless it should be
// the default and is not; in `run` when one has begun to repair runs stopped dead.
Outcome LeaveAsInstalled(CConsoleContext& context, const std::wstring& port, CSetupRun* run) {
    SetupContext& setup = context.Setup();
    // As asked includes the default: a printer that should be the default and is not is made
    // it, and that is a change.
    if (setup.GetMakeDefault() != 0 &&
        LookUpDefaultPrinter(setup.printerName) != QueueLookup::kPresent)
        return MakeDefault(context, port, run);
    if (context.DryRun() && !PlanRepairs(context))
        return Report(context, L"", {false, L"busy", port}, Outcome::kAnotherInstall);
    const std::wstring text = context.PrinterName() + L" is installed on " + port +
                              L" already; nothing to do (--force installs it again).";
    const Change change(false, L"unchanged", port);
    return run != nullptr ? EndRun(context, *run, text, change, Outcome::kSuccess)
                          : Report(context, text, change, Outcome::kSuccess);
}

// The end of an install that failed or was stopped, in which the run put the replaced queues
// back.
Outcome NotInstalled(CConsoleContext& context, CSetupRun& run, const std::wstring& port) {
    const bool cancelled = run.Cancelled();
    context.Host().Err(cancelled ? L"Stopped on request; the replaced queues are back."
                                 : L"The printer " + context.PrinterName() +
                                       L" was not installed; " + LogPointer(run) + L".");
    const Outcome failure =
        cancelled ? Outcome::kCancelled : Failed(context, run, Outcome::kInstallFailed);
    return EndRun(context, run, L"",
                  {false, cancelled ? L"cancelled" : L"failed", port, run.BackupPath()}, failure);
}

// Records what was installed, which the next install compares with what it is asked for.
void WriteInstallRecord(CConsoleContext& context, const std::wstring& port,
                        const std::wstring& version) {
    IClockService* clock = Services().clock;
    const LocalTime now = clock != nullptr ? clock->Now() : LocalTime{};
    wchar_t stamp[32] = {};
    std::swprintf(stamp, 32, L"%04u-%02u-%02u %02u:%02u:%02u", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    IInstallRecordService* records = Services().installRecords;
    if (records != nullptr &&
        !records->Write({context.Setup().printerName, context.Call().Value(L"--model"), port,
                         version, stamp, PlainDriverVersion(version), KORVEL_VERSION_WIDE}))
        LogFailure(L"Could not write the install record");
}

// The install itself, in a setup run: the runs stopped dead repaired, the old queues saved and
// removed, the printer installed, and after a failure the old queues back. `asAsked`: the printer
// was installed as asked before the repair.
Outcome InstallInRun(CConsoleContext& context, const std::wstring& port,
                     const std::wstring& version, bool asAsked) {
    SetupContext& setup = context.Setup();
    Outcome exit = Outcome::kSuccess;
    CSetupRun run(setup, kConsoleProgramName, 0, context.QueueInstall());
    if (!BeginRun(context, run, CSetupRun::Needs::kPrinterAndPort, exit))
        return exit;
    // The repair may have changed what is installed; otherwise there is nothing more to do.
    if (asAsked && InstalledAsAsked(context, port, version))
        return LeaveAsInstalled(context, port, &run);
    if (run.Prepare() && run.CheckExisting())
        run.Remove();
    const int32_t result = run.Install();
    if (result == 0) {
        run.Restore();
        return NotInstalled(context, run, port);
    }
    const CStepFailures options;
    run.ApplyOptions();
    WriteInstallRecord(context, port, version);
    // Installed as asked includes the default, and only a look tells that it was made: the
    // printer UI's command says nothing of what it did. The queue stays, as the default
    // command's failure leaves it. A driver that is in use only after a restart may have no
    // queue to make the default before it.
    if (setup.GetMakeDefault() != 0 && !run.RestartRequired() &&
        LookUpDefaultPrinter(setup.printerName) != QueueLookup::kPresent) {
        const Outcome failure = DefaultNotMade(context, options);
        return EndRun(context, run, L"", {true, L"failed", port, run.BackupPath()}, failure);
    }
    // Nothing of ours restarts the computer: the deployment engine decides, told by the code.
    const bool restart = run.RestartRequired();
    return EndRun(
        context, run,
        L"Installed " + context.PrinterName() + L" on " + port +
            (context.Cups() ? std::wstring(L" as the queue ") + setup.printerName : L"") + L"." +
            (restart ? L" The computer must restart before the printer can be used." : L""),
        {true, L"installed", port, run.BackupPath(), restart},
        restart ? Outcome::kRestartRequired : Outcome::kSuccess);
}

}  // namespace

Outcome RunInstallCommand(CConsoleContext& context) {
    const ConsoleCall& call = context.Call();
    Outcome exit = Outcome::kSuccess;
    if (!Elevated(context, exit) || !UseSetupFolder(context, exit) ||
        !ChooseModel(context, exit, true))
        return exit;
    SetupContext& setup = context.Setup();
    std::wstring port = call.Value(L"--port");
    if (port.empty() && (!CheckConnectedModel(context, exit) || !DefaultPort(context, port, exit)))
        return exit;
    if (!CheckInstallPort(context, port, exit))
        return exit;
    if (!CopyText(setup.portName, SetupContext::kNameWidth, port.c_str())) {
        context.Host().Err(L"The port name is too long: " + port);
        return Outcome::kBadArguments;
    }
    setup.SetMakeDefault(call.Has(L"--no-default") ? 0 : 1);
    setup.SetPrintTestPage(call.Has(L"--test-page") ? 1 : 0);
    setup.queueCheck = QueueCheck::kPoll;

    // Start-up scripts and configuration management run it again and again: a printer installed
    // as asked is left alone.
    const std::wstring version = DriverVersion(setup);
    const bool asAsked = !call.Has(L"--force") && InstalledAsAsked(context, port, version);
    if (asAsked) {
        // Such a printer takes the lock and writes a log only when a run stopped dead waits for
        // its repair: an install that changes nothing must not rotate away the logs of changes.
        std::vector<UnfinishedRun> unfinished;
        FindUnfinishedRuns(unfinished);
        if (unfinished.empty() || context.DryRun())
            return LeaveAsInstalled(context, port, nullptr);
    }
    if (context.DryRun())
        return PlanInstall(context, port);
    return InstallInRun(context, port, version, asAsked);
}
