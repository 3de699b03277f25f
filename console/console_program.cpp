#include "console/console_program.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <vector>

#include "console/change_report.h"
#include "console/command_line.h"
#include "console/command_prerequisites.h"
#include "console/console_context.h"
#include "console/dry_run_plan.h"
#include "console/exit_codes.h"
#include "console/json_text.h"
#include "console/make_default.h"
#include "console/setup_run_steps.h"
#include "detect/discovered_usb_printer.h"
#include "detect/usb_port.h"
#include "install/check/setup_folder_check.h"
#include "install/run/unfinished_runs.h"
#include "install/spooler/installed_queues.h"
#include "install/windows/driver_staging.h"
#include "platform/clock_service.h"
#include "platform/install_record_service.h"
#include "platform/log_copy.h"
#include "platform/log_sink.h"
#include "platform/native_path.h"
#include "platform/services.h"
#include "platform/spooler_service.h"
#include "platform/standin/wide_text.h"
#include "platform/uri_passwords.h"
#include "setupdata/bounded_text.h"

namespace {

const std::wstring kVersion = ConsoleVersion();

// pavonis detect: the USB printer connected, and whether the setup data lists its model.
Outcome RunDetectCommand(CConsoleContext& context) {
    Outcome exit = Outcome::kSuccess;
    if (!UseSetupFolder(context, exit))
        return exit;
    SetupContext& setup = context.Setup();
    DetectedUsbPrinter printer;
    CString portName;
    bool connected = false;
    if (context.Cups()) {
        DiscoveredUsbPrinter discovered;
        const Discovery discovery = DiscoverUsbPrinter(setup, discovered);
        if (discovery == Discovery::kUnknown) {
            context.Host().Err(L"The print system could not be asked for USB printers.");
            return Outcome::kFailed;
        }
        connected = discovery == Discovery::kFound;
        printer = discovered.printer;
        portName = discovered.uri;
    } else if ((connected = DetectUsbPrinter(printer))) {
        CUSBPort port;
        port.FindPortName(portName);
    }
    if (!connected) {
        context.Print(L"No supported USB printer is connected.",
                      JsonText().Add(L"connected", false));
        return Outcome::kSuccess;
    }
    CString series;
    const bool listed = setup.FindModelSeries(series, printer.model.c_str()) != 0;
    context.Print(
        L"VID " + (printer.vid.empty() ? L"unknown" : printer.vid) + L", PID " +
            (printer.pid.empty() ? L"unknown" : printer.pid) + L", model " + printer.model +
            (listed ? L" (in the setup data, " + series + L")" : L" (not in the setup data)") +
            L", port " + (portName.empty() ? L"unknown" : portName),
        JsonText()
            .Add(L"connected", true)
            .Add(L"vid", printer.vid)
            .Add(L"pid", printer.pid)
            .Add(L"model", printer.model)
            .Add(L"listed", listed)
            .Add(L"series", listed ? series : L"")
            .Add(L"port", portName));
    return Outcome::kSuccess;
}

// The models of one series, each with its printer name, driver family and INF file: said as a
// line each, and returned for --json.
JsonArray ListModels(CConsoleContext& context, const StringList& models) {
    SetupContext& setup = context.Setup();
    const bool json = context.Call().json;
    JsonArray list;
    for (const std::wstring& model : models) {
        SetupContext choice = setup;
        wchar_t printer[SetupContext::kPathWidth] = {};
        const bool named =
            setup.LookUpPrinterName(model.c_str(), printer, SetupContext::kPathWidth) != 0;
        choice.SetPrinterName(named ? printer : L"");
        const int32_t type = named ? choice.GetPrinterType(printer) : -1;
        const std::wstring family = type == 1 ? L"24-pin" : type == 2 ? L"9-pin" : L"";
        choice.ResolveDriverInfPath();
        const std::wstring inf = family.empty() ? L"" : DisplayPath(choice.driverInfPath);
        if (!json) {
            context.Host().Out(L"  " + model + L"\t" + (named ? printer : L"(no printer name)") +
                               L"\t" + (family.empty() ? L"(no family)" : family) + L"\t" + inf);
        }
        list.Add(JsonText()
                     .Add(L"model", model)
                     .Add(L"printer", named ? printer : L"")
                     .Add(L"family", family)
                     .Add(L"inf", inf));
    }
    return list;
}

// pavonis models: the series of the setup data, each with its models, their printer names,
// driver families and INF files.
Outcome RunModelsCommand(CConsoleContext& context) {
    Outcome exit = Outcome::kSuccess;
    if (!UseSetupFolder(context, exit))
        return exit;
    IConsoleHost& host = context.Host();
    const bool json = context.Call().json;
    StringList series;
    context.Setup().ListSeries(series);
    const std::wstring wanted = context.Call().Value(L"--series");
    if (!wanted.empty()) {
        if (std::find(series.begin(), series.end(), wanted) == series.end()) {
            host.Err(L"The setup data lists no series " + wanted + L".");
            return Outcome::kBadArguments;
        }
        series = {wanted};
    }
    JsonArray all;
    for (const std::wstring& name : series) {
        StringList models;
        context.Setup().ListSeriesModels(name.c_str(), models);
        if (!json)
            host.Out(name);
        all.Add(JsonText().Add(L"series", name).Add(L"models", ListModels(context, models)));
    }
    if (json)
        host.Out(JsonText().Add(L"series", all).Text());
    return Outcome::kSuccess;
}

// pavonis ports: the ports the print system offers a queue.
Outcome RunPortsCommand(CConsoleContext& context) {
    IConsoleHost& host = context.Host();
    const bool json = context.Call().json;
    StringList ports;
    if (context.Setup().ListPorts(ports) == 0) {
        host.Err(L"The spooler's ports could not be listed.");
        return Outcome::kFailed;
    }
    JsonArray list;
    for (const std::wstring& port : ports) {
        if (!json)
            host.Out(port);
        list.Add(port);
    }
    // A queue on CUPS prints to any device URI, of the network backends too, which are not
    // listed since finding their printers would probe the network.
    JsonText result;
    result.Add(L"ports", list);
    if (context.Cups())
        result.Add(L"anyDeviceUri", true);
    if (json)
        host.Out(result.Text());
    else if (context.Cups())
        host.Err(
            L"Any CUPS device URI is accepted as --port, for example "
            L"socket://192.0.2.10:9100 or lpd://192.0.2.10/queue.");
    return Outcome::kSuccess;
}

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
// the default and is not.
Outcome LeaveAsInstalled(CConsoleContext& context, const std::wstring& port) {
    SetupContext& setup = context.Setup();
    // As asked includes the default: a printer that should be the default and is not is made
    // it, and that is a change.
    if (setup.GetMakeDefault() != 0 &&
        LookUpDefaultPrinter(setup.printerName) != QueueLookup::kPresent)
        return MakeDefault(context, port);
    if (context.DryRun())
        PlanRepairs(context);
    return Report(context,
                  context.PrinterName() + L" is installed on " + port +
                      L" already; nothing to do (--force installs it again).",
                  {false, L"unchanged", port}, Outcome::kSuccess);
}

// Keeps the install record true to the queue: a record whose queue is gone is deleted.
void ForgetRecordWithoutQueue(const SetupContext& setup) {
    IInstallRecordService* records = Services().installRecords;
    QueueState state;
    if (records != nullptr &&
        LookUpInstalledQueue(setup.printerName, state) == QueueLookup::kAbsent &&
        !records->Delete(setup.printerName)) {
        LogFailure(L"Could not delete the install record of " + std::wstring(setup.printerName));
    }
}

// The end of an install that failed or was stopped, in which the run put the replaced queues
// back.
Outcome NotInstalled(CConsoleContext& context, CSetupRun& run, const std::wstring& port) {
    ForgetRecordWithoutQueue(context.Setup());
    const bool cancelled = run.Cancelled();
    context.Host().Err(cancelled
                           ? L"Stopped on request; the replaced queues are back."
                           : L"The printer " + context.PrinterName() +
                                 L" was not installed; the log (" + run.LogPath() + L") says why.");
    const Outcome failure =
        cancelled ? Outcome::kCancelled : Failed(context, run, Outcome::kInstallFailed);
    return EndRun(
        context, run, false, cancelled ? L"cancelled" : L"not installed",
        Report(context, L"", {false, cancelled ? L"cancelled" : L"failed", port, run.BackupPath()},
               failure));
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
        !records->Write(
            {context.Setup().printerName, context.Call().Value(L"--model"), port, version, stamp}))
        LogFailure(L"Could not write the install record");
}

// The install itself, in a setup run: the old queues saved and removed, the printer installed,
// and after a failure the old queues back.
Outcome InstallInRun(CConsoleContext& context, const std::wstring& port,
                     const std::wstring& version) {
    SetupContext& setup = context.Setup();
    Outcome exit = Outcome::kSuccess;
    CSetupRun run(setup, kConsoleProgramName, 0, context.QueueInstall());
    if (!BeginRun(context, run, CSetupRun::Needs::kPrinterAndPort, exit))
        return exit;
    if (run.CheckExisting())
        run.Remove();
    const int32_t result = run.Install();
    if (result != 0)
        run.ApplyOptions();
    else
        run.Restore();
    if (result == 0)
        return NotInstalled(context, run, port);
    WriteInstallRecord(context, port, version);
    // Nothing of ours restarts the computer: the deployment engine decides, told by the code.
    const bool restart = run.RestartRequired();
    return EndRun(
        context, run, true, restart ? L"installed; a restart is needed" : L"installed",
        Report(context,
               L"Installed " + context.PrinterName() + L" on " + port +
                   (context.Cups() ? std::wstring(L" as the queue ") + setup.printerName : L"") +
                   L"." +
                   (restart ? L" The computer must restart before the printer can be used." : L""),
               {true, L"installed", port, run.BackupPath(), restart},
               restart ? Outcome::kRestartRequired : Outcome::kSuccess));
}

// pavonis install: installs the chosen model's printer, or leaves it alone when it is installed
// as asked already.
Outcome RunInstallCommand(CConsoleContext& context) {
    const ConsoleCall& call = context.Call();
    Outcome exit = Outcome::kSuccess;
    if (!Elevated(context, exit) || !UseSetupFolder(context, exit) ||
        !ChooseModel(context, exit, true))
        return exit;
    SetupContext& setup = context.Setup();
    std::wstring port = call.Value(L"--port");
    if (port.empty() && !DefaultPort(context, port, exit))
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
    if (!call.Has(L"--force") && InstalledAsAsked(context, port, version))
        return LeaveAsInstalled(context, port);
    if (context.DryRun())
        return PlanInstall(context, port);
    return InstallInRun(context, port, version);
}

// pavonis stage: puts the chosen model's driver package into the Windows driver store.
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
    if (!StageModelDriver(setup)) {
        context.Host().Err(std::wstring(L"The driver package ") + setup.driverInfPath +
                           L" could not be put into the driver store.");
        return EndRun(context, run, false, L"not staged", Outcome::kInstallFailed);
    }
    context.Host().Out(std::wstring(L"Staged ") + setup.driverInfPath + L".");
    return EndRun(context, run, true, L"staged", Outcome::kSuccess);
}

// pavonis default: makes the chosen model's printer the default.
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

// The end of a removal that left a queue of the printer behind.
Outcome NotRemoved(CConsoleContext& context, CSetupRun& run) {
    const bool cancelled = run.Cancelled();
    context.Host().Err(std::wstring(cancelled ? L"Stopped on request; " : L"") +
                       L"Not every queue of " + context.Setup().printerName +
                       L" was removed; the log (" + run.LogPath() + L") says why.");
    const Outcome failure =
        cancelled ? Outcome::kCancelled : Failed(context, run, Outcome::kInstallFailed);
    return EndRun(context, run, false, L"not removed",
                  Report(context, L"",
                         {!run.BackupPath().empty(), cancelled ? L"cancelled" : L"failed", L"",
                          run.BackupPath()},
                         failure));
}

// pavonis remove: removes every queue of the chosen model's printer, saved in a backup first.
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
    return EndRun(context, run, true, L"removed",
                  Report(context,
                         removed ? L"Removed the queues of " + std::wstring(setup.printerName) +
                                       L", saved in " + run.BackupPath() + L"."
                                 : L"No queue of " + std::wstring(setup.printerName) +
                                       L" is installed; nothing to do.",
                         {removed, removed ? L"removed" : L"unchanged", L"", run.BackupPath()},
                         Outcome::kSuccess));
}

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

// pavonis restore: makes the queues of a backup file again.
Outcome RunRestoreCommand(CConsoleContext& context) {
    const ConsoleCall& call = context.Call();
    Outcome exit = Outcome::kSuccess;
    if (!Elevated(context, exit))
        return exit;
    if (context.DryRun())
        return PlanRestore(context);
    // A restore needs no printer of the setup data, only the lock.
    CSetupRun run(context.Setup(), kConsoleProgramName);
    if (!BeginRun(context, run, CSetupRun::Needs::kNothing, exit))
        return exit;
    const std::wstring file = call.arguments.empty() ? L"" : call.arguments[0];
    const bool whole = run.RestoreFile(file, call.Has(L"--force"));
    using Fate = CSetupRun::RestoredQueue::Fate;
    bool changed = false;
    for (const CSetupRun::RestoredQueue& queue : run.RestoredQueues()) {
        changed = changed || queue.fate == Fate::kMadeAgain || queue.fate == Fate::kReplaced;
        if (!call.json)
            context.Host().Out(queue.name + L": " + FateText(queue.fate));
    }
    if (!whole) {
        context.Host().Err(
            L"Not every queue of the backup is installed as it was saved; the log (" +
            run.LogPath() + L") says why.");
        return EndRun(context, run, false, L"not restored",
                      Report(context, L"", {changed, L"failed", L"", run.BackupPath()},
                             Failed(context, run, Outcome::kInstallFailed)));
    }
    return EndRun(
        context, run, true, L"restored",
        Report(context, L"", {changed, changed ? L"restored" : L"unchanged", L"", run.BackupPath()},
               Outcome::kSuccess));
}

// Says on standard error that a run was stopped dead and waits for its repair.
void MentionUnfinishedRuns(CConsoleContext& context) {
    std::vector<UnfinishedRun> runs;
    FindUnfinishedRuns(runs);
    for (const UnfinishedRun& run : runs) {
        context.Host().Err(L"An earlier setup run was stopped before it ended (" + run.path +
                           L"); the next install, remove or restore repairs it.");
    }
}

// The line and JSON of an installed printer, which on CUPS name its queue too.
void PrintInstalled(CConsoleContext& context, const QueueState& state) {
    const SetupContext& setup = context.Setup();
    const bool cups = context.Cups();
    context.Print(context.PrinterName() + L" is installed on " + state.port +
                      (cups ? std::wstring(L" as the queue ") + setup.printerName : L"") + L".",
                  cups ? JsonText()
                             .Add(L"installed", true)
                             .Add(L"printer", context.PrinterName())
                             .Add(L"queue", setup.printerName)
                             .Add(L"port", state.port)
                       : JsonText()
                             .Add(L"installed", true)
                             .Add(L"printer", setup.printerName)
                             .Add(L"port", state.port));
}

// pavonis status: one line when the chosen model's printer is installed, none when it is not.
Outcome RunStatusCommand(CConsoleContext& context) {
    Outcome exit = Outcome::kSuccess;
    if (!UseSetupFolder(context, exit) || !ChooseModel(context, exit))
        return exit;
    // Detection scripts read "installed" from a line on standard output and "not installed"
    // from none, both with exit code 0; any other code means the look itself failed.
    // Backups are only readable with the rights that wrote them: without, nothing is said.
    MentionUnfinishedRuns(context);
    QueueState state;
    switch (LookUpInstalledQueue(context.Setup().printerName, state)) {
        case QueueLookup::kPresent:
            PrintInstalled(context, state);
            return Outcome::kSuccess;
        case QueueLookup::kAbsent:
            if (context.Call().json)
                context.Host().Out(JsonText().Add(L"installed", false).Text());
            return Outcome::kSuccess;
        case QueueLookup::kUnknown:
            break;
    }
    context.Host().Err(L"The spooler could not be asked.");
    return Outcome::kFailed;
}

// pavonis validate: checks a setup folder and lists every finding.
Outcome RunValidateCommand(CConsoleContext& context) {
    const ConsoleCall& call = context.Call();
    IConsoleHost& host = context.Host();
    std::wstring folder =
        call.arguments.empty() ? std::wstring(context.Setup().setupFolder) : call.arguments[0];
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    const std::vector<SetupFinding> findings = CheckSetupFolder(folder);
    JsonArray list;
    for (const SetupFinding& finding : findings) {
        if (!call.json) {
            host.Out(DisplayPath(finding.file) + L":" + std::to_wstring(finding.line) + L": " +
                     finding.problem + L" Fix: " + finding.fix);
        }
        list.Add(JsonText()
                     .Add(L"file", DisplayPath(finding.file))
                     .Add(L"line", static_cast<int>(finding.line))
                     .Add(L"problem", finding.problem)
                     .Add(L"fix", finding.fix));
    }
    if (call.json)
        host.Out(JsonText().Add(L"findings", list).Text());
    else if (findings.empty())
        host.Out(L"No findings in " + DisplayPath(folder));
    return findings.empty() ? Outcome::kSuccess : Outcome::kFindings;
}

// Whether the platform has the command; false with a message.
bool Available(const std::wstring& command, IConsoleHost& host) {
    const bool setupDataOnly = command == L"models" || command == L"validate";
    switch (host.Platform()) {
        case ConsolePlatform::kWindows:
            return true;
        case ConsolePlatform::kCups:
            if (command != L"stage")
                return true;
            host.Err(
                L"The command stage needs Windows: CUPS keeps no driver store, and the "
                L"install gives each queue its driver.");
            return false;
        case ConsolePlatform::kNone:
            if (setupDataOnly)
                return true;
            break;
    }
    host.Err(L"The command " + command + L" needs Windows, or on Linux a CUPS scheduler.");
    return false;
}

// Runs the command of a call whose command line was read.
Outcome RunCommand(const ConsoleCall& call, IConsoleHost& host) {
    CConsoleContext context(call, host);
    const std::wstring& command = call.command;
    if (!Available(command, host))
        return Outcome::kUnsupported;
    // The --log file is checked before anything is touched, and written only once the run held
    // the lock.
    std::wstring why;
    if (!call.Value(L"--log").empty() && !CheckLogCopyFile(call.Value(L"--log"), why)) {
        host.Err(why);
        return Outcome::kBadArguments;
    }
    // Until a command changes something, a stop may end the process at once: a reading command
    // or a dry run must not wait for a print system that does not answer. BeginRun takes the
    // allowance back before the lock is taken.
    host.AllowImmediateStop(true);
    const std::map<std::wstring, Outcome (*)(CConsoleContext&)> commands = {
        {L"detect", &RunDetectCommand}, {L"models", &RunModelsCommand},
        {L"ports", &RunPortsCommand},   {L"install", &RunInstallCommand},
        {L"stage", &RunStageCommand},   {L"default", &RunDefaultCommand},
        {L"remove", &RunRemoveCommand}, {L"restore", &RunRestoreCommand},
        {L"status", &RunStatusCommand}, {L"validate", &RunValidateCommand},
    };
    return commands.at(command)(context);
}

}  // namespace

namespace {

// Every line the program prints, with the passwords of device URIs hidden: standard output and
// error end up in deployment engines' reports and in terminal logs.
class CPasswordHidingHost : public IConsoleHost {
  public:
    explicit CPasswordHidingHost(IConsoleHost& inner) : m_inner(inner) {}
    void Out(const std::wstring& line) override { m_inner.Out(WithoutPasswords(line)); }
    void Err(const std::wstring& line) override { m_inner.Err(WithoutPasswords(line)); }
    bool StopRequested() const override { return m_inner.StopRequested(); }
    void AllowImmediateStop(bool allowed) override { m_inner.AllowImmediateStop(allowed); }
    ConsolePlatform Platform() const override { return m_inner.Platform(); }

  private:
    IConsoleHost& m_inner;
};

}  // namespace

int RunConsoleProgram(const std::vector<std::wstring>& arguments, IConsoleHost& outer) {
    CPasswordHidingHost host(outer);
    ConsoleCall call;
    std::wstring message;
    const ConsolePlatform platform = host.Platform();
    const auto exitCode = platform == ConsolePlatform::kWindows ? &WindowsExitCode : &PosixExitCode;
    if (!ParseCommandLine(arguments, call, message)) {
        host.Err(message);
        host.Err(L"Usage: pavonis COMMAND [OPTIONS]; pavonis --help lists them.");
        return exitCode(Outcome::kBadArguments);
    }
    if (call.help) {
        host.Out(ConsoleHelp(platform));
        return exitCode(Outcome::kSuccess);
    }
    if (call.version) {
        host.Out(kVersion);
        return exitCode(Outcome::kSuccess);
    }
    // Whatever goes wrong, the caller gets an exit code and a message, never an aborted process:
    // a run stopped half-way is repaired by the next one, from its journal.
    try {
        return exitCode(RunCommand(call, host));
    } catch (const std::exception& error) {
        host.Err(L"The run ended on an unexpected error: " + DecodeUtf8(error.what()));
    }
    return exitCode(Outcome::kFailed);
}
