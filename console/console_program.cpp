#include "console/console_program.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "console/command_line.h"
#include "console/exit_codes.h"
#include "console/json_text.h"
#include "detect/discovered_usb_printer.h"
#include "detect/usb_port.h"
#include "install/windows/driver_staging.h"
#include "install/run/setup_run.h"
#include "install/spooler/installed_queues.h"
#include "install/cups/queue_install.h"
#include "install/run/queue_restore.h"
#include "install/run/unfinished_runs.h"
#include "install/check/setup_folder_check.h"
#include "platform/clock_service.h"
#include "platform/file_store_service.h"
#include "platform/install_record_service.h"
#include "platform/log_copy.h"
#include "platform/log_sink.h"
#include "platform/native_path.h"
#include "platform/platform_failure.h"
#include "platform/services.h"
#include "platform/session_service.h"
#include "platform/spooler_service.h"
#include "platform/standin/wide_text.h"
#include "platform/uri_passwords.h"
#include "setupdata/bounded_text.h"
#include "setupdata/setup_context.h"

namespace {

constexpr wchar_t kProgram[] = L"pavonis";
const std::wstring kVersion = ConsoleVersion();
// The port page preselects it when no printer is connected.
constexpr wchar_t kDefaultPort[] = L"LPT1:";

// One call, with the setup record it works on.
class CConsoleRun {
  public:
    CConsoleRun(const ConsoleCall& call, IConsoleHost& host)
        : m_call(call), m_host(host), m_cups(host.Platform() == ConsolePlatform::kCups) {}

    Outcome Run();

  private:
    Outcome Detect();
    Outcome Models();
    Outcome Ports();
    Outcome Install();
    Outcome Stage();
    Outcome Default();
    Outcome Remove();
    Outcome Restore();
    Outcome Status();
    Outcome Validate();

    // Whether the platform has the command; false with a message.
    bool Available(const std::wstring& command);
    // The port of an install without --port: on Windows the connected printer's, else LPT1:;
    // on CUPS the connected printer's device URI, else none (false, with the exit code).
    bool DefaultPort(std::wstring& port, Outcome& exit);
    // A printer installed as asked already: on Windows by its install record and its queue, on
    // CUPS by the queue itself.
    bool InstalledAsAsked(const std::wstring& port, const std::wstring& version);
    // The printer's name as the user knows it (on CUPS the queue's description).
    std::wstring PrinterName() const;

    // The setup folder: --setup-folder, else the program's own. False (with the message and
    // exit code in `exit`) when its printer information file is missing.
    bool UseSetupFolder(Outcome& exit);
    // The chosen model's printer name into the setup record; with `needsFamily`, only a printer
    // the setup data gives a driver family, since nothing can be installed without one. False
    // with the exit code.
    bool ChooseModel(Outcome& exit, bool needsFamily = false);
    bool Elevated(Outcome& exit);
    std::wstring DriverVersion() const;
    void Print(const std::wstring& text, const JsonText& json);

    // What a changing command did, for its last words: a line of text, or with --json one line
    // of JSON that a configuration-management engine acts on instead.
    struct Change {
        Change(bool changed_, std::wstring outcome_, std::wstring port_ = {},
               std::wstring backup_ = {}, bool restart_ = false)
            : changed(changed_),
              outcome(std::move(outcome_)),
              port(std::move(port_)),
              backup(std::move(backup_)),
              restart(restart_) {}
        bool changed;
        std::wstring outcome;  // "installed", "unchanged", "removed", "restored", "failed", ...
        std::wstring port;
        std::wstring backup;
        bool restart;  // the computer must restart before the driver is in use
    };
    // Says what a changing command did or, with --dry-run, would do, and returns `exit`.
    Outcome Report(const std::wstring& text, const Change& change, Outcome exit);
    // Starts the run of a changing command: no stop asked for, the lock taken, the log opened,
    // unfinished runs repaired (said on standard error). False with the exit code.
    bool BeginRun(CSetupRun& run, CSetupRun::Needs needs, Outcome& exit);
    // The outcome of a failed step of `run`: kNotAuthorized, with advice, when the system
    // refused that very step for want of rights; otherwise `failure`.
    Outcome Failed(const CSetupRun& run, Outcome failure);
    // Ends a run with the command's result line, copying its log to --log when asked.
    Outcome EndRun(CSetupRun& run, bool succeeded, const std::wstring& result, Outcome exit);
    // Says on standard error what the run noticed since it was last asked (repairs, a folder
    // moved aside, credentials it could not keep).
    void ShowNotices(const CSetupRun& run);
    // Keeps the install record true to the queue: a record whose queue is gone is deleted.
    void ForgetRecordWithoutQueue();

    // Makes the chosen printer the default and confirms it with a look (port: for the report),
    // in `run` when one has begun, in a run of its own for an install.
    Outcome MakeDefault(const std::wstring& port, CSetupRun* run = nullptr);

    // --dry-run: what the run would do, from looks alone (no lock, no log, no file).
    bool DryRun() const { return m_call.Has(L"--dry-run"); }
    // A line of the plan: on standard output, or beside the JSON on standard error.
    void Say(const std::wstring& line);
    void PlanRepairs();
    Outcome PlanInstall(const std::wstring& port);
    Outcome PlanRemove();
    Outcome PlanRestore();
    // Says on standard error that a run was stopped dead and waits for its repair.
    void MentionUnfinishedRuns();

    const ConsoleCall& m_call;
    IConsoleHost& m_host;
    const bool m_cups;
    SetupContext m_setup;
    // On CUPS, from the model's choice on: the install of its queue, which knows the printer's
    // full name while the setup record holds the queue's name.
    std::unique_ptr<CQueueInstall> m_queueInstall;
    size_t m_noticesShown = 0;
};

bool CConsoleRun::Available(const std::wstring& command) {
    const bool setupDataOnly = command == L"models" || command == L"validate";
    switch (m_host.Platform()) {
        case ConsolePlatform::kWindows:
            return true;
        case ConsolePlatform::kCups:
            if (command != L"stage")
                return true;
            m_host.Err(
                L"The command stage needs Windows: CUPS keeps no driver store, and the "
                L"install gives each queue its driver.");
            return false;
        case ConsolePlatform::kNone:
            if (setupDataOnly)
                return true;
            break;
    }
    m_host.Err(L"The command " + command + L" needs Windows, or on Linux a CUPS scheduler.");
    return false;
}

std::wstring CConsoleRun::PrinterName() const {
    return m_queueInstall != nullptr ? m_queueInstall->PrinterName() : m_setup.printerName;
}

Outcome CConsoleRun::Failed(const CSetupRun& run, Outcome failure) {
    if (!run.FailureWasRefusal())
        return failure;
    m_host.Err(m_cups ? L"The print system refused the change for want of rights: run it as root, "
                        L"or as a member of the group the print system lets administer printers "
                        L"(lpadmin)."
                      : L"The spooler refused the change for want of rights: run it from an "
                        L"elevated prompt, or as SYSTEM.");
    return Outcome::kNotAuthorized;
}

Outcome CConsoleRun::Report(const std::wstring& text, const Change& change, Outcome exit) {
    if (!m_call.json) {
        if (!text.empty())
            m_host.Out(text);
        return exit;
    }
    JsonText json;
    json.Add(L"changed", change.changed);
    if (DryRun())
        json.Add(L"dryRun", true);
    if (m_call.command != L"restore") {
        json.Add(L"printer", PrinterName());
        json.Add(L"queue", std::wstring(m_setup.printerName));
    }
    json.Add(L"port", change.port);
    json.Add(L"backup", change.backup);
    json.Add(L"outcome", change.outcome);
    if (change.restart)
        json.Add(L"restartRequired", true);
    m_host.Out(json.Text());
    return exit;
}

bool CConsoleRun::BeginRun(CSetupRun& run, CSetupRun::Needs needs, Outcome& exit) {
    m_host.AllowImmediateStop(false);
    // A stop asked for before anything started leaves everything as it is.
    if (m_host.StopRequested()) {
        m_host.Err(L"Stopped on request; nothing was touched.");
        exit = Report(L"", {false, L"cancelled"}, Outcome::kCancelled);
        return false;
    }
    run.SetStopCheck([this] { return m_host.StopRequested(); });
    run.SetForce(m_call.Has(L"--force"));
    if (!run.Begin(needs)) {
        if (run.ProtectedPrintOn()) {
            m_host.Err(
                L"Windows protected print mode is on: it lets in only the printer drivers "
                L"that come with Windows, so this printer's driver cannot be installed. "
                L"Turn the mode off (Settings, Bluetooth & devices, Printers & scanners), "
                L"or ask the administrator who set it by policy. Nothing was touched.");
            exit = Report(L"", {false, L"failed"}, Outcome::kInstallFailed);
        } else if (run.LockBusy()) {
            m_host.Err(run.LockProblem().empty()
                           ? L"Another setup of Korvel printers is running; try again when it has "
                             L"ended. Nothing was touched, and no log was written."
                           : run.LockProblem() + L" Nothing was touched, and no log was written.");
            exit = Report(L"", {false, L"busy"}, Outcome::kAnotherInstall);
        } else {
            m_host.Err(run.LockProblem().empty()
                           ? L"The setup could not begin: the run lacks a printer or port; "
                             L"nothing was touched."
                           // The lock's own texts are whole sentences that name it.
                           : (run.LockProblem().rfind(L"The setup lock", 0) == 0
                                  ? run.LockProblem()
                                  : L"The setup lock could not be had: " + run.LockProblem()) +
                                 L" Nothing was touched.");
            exit = Report(L"", {false, run.FailureWasRefusal() ? L"refused" : L"failed"},
                          Failed(run, Outcome::kInstallFailed));
        }
        run.End(false, L"not begun");
        return false;
    }
    ShowNotices(run);
    return true;
}

Outcome CConsoleRun::Run() {
    const std::wstring& command = m_call.command;
    if (!Available(command))
        return Outcome::kUnsupported;
    // The --log file is checked before anything is touched, and written only once the run held
    // the lock.
    std::wstring why;
    if (!m_call.Value(L"--log").empty() && !CheckLogCopyFile(m_call.Value(L"--log"), why)) {
        m_host.Err(why);
        return Outcome::kBadArguments;
    }
    // Until a command changes something, a stop may end the process at once: a reading command
    // or a dry run must not wait for a print system that does not answer. BeginRun takes the
    // allowance back before the lock is taken.
    m_host.AllowImmediateStop(true);
    const std::map<std::wstring, Outcome (CConsoleRun::*)()> commands = {
        {L"detect", &CConsoleRun::Detect}, {L"models", &CConsoleRun::Models},
        {L"ports", &CConsoleRun::Ports},   {L"install", &CConsoleRun::Install},
        {L"stage", &CConsoleRun::Stage},   {L"default", &CConsoleRun::Default},
        {L"remove", &CConsoleRun::Remove}, {L"restore", &CConsoleRun::Restore},
        {L"status", &CConsoleRun::Status}, {L"validate", &CConsoleRun::Validate},
    };
    return (this->*commands.at(command))();
}

bool CConsoleRun::UseSetupFolder(Outcome& exit) {
    std::wstring folder = m_call.Value(L"--setup-folder");
    if (!folder.empty()) {
        if (folder.back() != L'\\' && folder.back() != L'/')
            folder += L'\\';
        if (folder.size() >= SetupContext::kPathWidth) {
            m_host.Err(L"The setup folder's path is too long: " + DisplayPath(folder));
            exit = Outcome::kMissingSetup;
            return false;
        }
        folder.copy(m_setup.setupFolder, folder.size());
        m_setup.setupFolder[folder.size()] = L'\0';
        m_setup.ResolveInfoFilePath();
        m_setup.ResolveDriverInfPath();
        m_setup.ResolveLanguageFilePath();
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenNativeFile(m_setup.printerInfoPath),
                                                         &std::fclose);
    if (!file) {
        m_host.Err(std::wstring(L"The setup folder has no printer information file: ") +
                   (m_setup.printerInfoPath[0] != L'\0' ? DisplayPath(m_setup.printerInfoPath)
                                                        : L"PrinterInfor.Inf"));
        exit = Outcome::kMissingSetup;
        return false;
    }
    return true;
}

bool CConsoleRun::ChooseModel(Outcome& exit, bool needsFamily) {
    const std::wstring model = m_call.Value(L"--model");
    wchar_t printer[SetupContext::kPathWidth] = {};
    if (m_setup.LookUpPrinterName(model.c_str(), printer, SetupContext::kPathWidth) == 0 ||
        !CopyText(m_setup.printerName, SetupContext::kNameWidth, printer)) {
        m_host.Err(L"The setup data has no printer name for the model " + model +
                   L" (see: pavonis models).");
        exit = Outcome::kBadArguments;
        return false;
    }
    m_setup.ResolveDriverInfPath();
    if (needsFamily && m_setup.GetPrinterType(printer) < 0) {
        m_host.Err(std::wstring(L"The setup data gives no driver family for ") + printer +
                   L"; nothing was touched.");
        exit = Outcome::kMissingSetup;
        return false;
    }
    if (!m_cups)
        return true;
    const std::wstring queue = CQueueInstall::QueueNameOf(printer);
    if (queue.empty()) {
        m_host.Err(std::wstring(L"The printer name ") + printer +
                   L" has nothing a CUPS queue name can hold.");
        exit = Outcome::kMissingSetup;
        return false;
    }
    m_queueInstall = std::make_unique<CQueueInstall>(printer);
    m_setup.SetPrinterName(queue.c_str());
    return true;
}

bool CConsoleRun::Elevated(Outcome& exit) {
    ISessionService* session = Services().session;
    if (session == nullptr || session->IsElevated())
        return true;
    m_host.Err(L"The command " + m_call.command +
               L" changes the printers of this computer and needs administrator rights: run it "
               L"from an elevated prompt, or as SYSTEM.");
    exit = Outcome::kNotAuthorized;
    return false;
}

void CConsoleRun::Print(const std::wstring& text, const JsonText& json) {
    m_host.Out(m_call.json ? json.Text() : text);
}

Outcome CConsoleRun::EndRun(CSetupRun& run, bool succeeded, const std::wstring& result,
                            Outcome exit) {
    ShowNotices(run);
    run.End(succeeded, result);
    const std::wstring logFile = m_call.Value(L"--log");
    if (!logFile.empty() && !AppendToLogCopy(logFile, run.LogText()))
        m_host.Err(L"Could not write the log to " + DisplayPath(logFile) + L".");
    return exit;
}

void CConsoleRun::ShowNotices(const CSetupRun& run) {
    for (; m_noticesShown < run.Notices().size(); ++m_noticesShown)
        m_host.Err(run.Notices()[m_noticesShown]);
}

void CConsoleRun::ForgetRecordWithoutQueue() {
    IInstallRecordService* records = Services().installRecords;
    QueueState state;
    if (records != nullptr &&
        LookUpInstalledQueue(m_setup.printerName, state) == QueueLookup::kAbsent &&
        !records->Delete(m_setup.printerName)) {
        LogFailure(L"Could not delete the install record of " + std::wstring(m_setup.printerName));
    }
}

Outcome CConsoleRun::Detect() {
    Outcome exit = Outcome::kSuccess;
    if (!UseSetupFolder(exit))
        return exit;
    DetectedUsbPrinter printer;
    CString portName;
    bool connected = false;
    if (m_cups) {
        DiscoveredUsbPrinter discovered;
        const Discovery discovery = DiscoverUsbPrinter(m_setup, discovered);
        if (discovery == Discovery::kUnknown) {
            m_host.Err(L"The print system could not be asked for USB printers.");
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
        Print(L"No supported USB printer is connected.", JsonText().Add(L"connected", false));
        return Outcome::kSuccess;
    }
    CString series;
    const bool listed = m_setup.FindModelSeries(series, printer.model.c_str()) != 0;
    Print(L"VID " + (printer.vid.empty() ? L"unknown" : printer.vid) + L", PID " +
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

Outcome CConsoleRun::Models() {
    Outcome exit = Outcome::kSuccess;
    if (!UseSetupFolder(exit))
        return exit;
    StringList series;
    m_setup.ListSeries(series);
    const std::wstring wanted = m_call.Value(L"--series");
    if (!wanted.empty()) {
        if (std::find(series.begin(), series.end(), wanted) == series.end()) {
            m_host.Err(L"The setup data lists no series " + wanted + L".");
            return Outcome::kBadArguments;
        }
        series = {wanted};
    }
    JsonArray all;
    for (const std::wstring& name : series) {
        StringList models;
        m_setup.ListSeriesModels(name.c_str(), models);
        if (!m_call.json)
            m_host.Out(name);
        JsonArray list;
        for (const std::wstring& model : models) {
            SetupContext choice = m_setup;
            wchar_t printer[SetupContext::kPathWidth] = {};
            const bool named =
                m_setup.LookUpPrinterName(model.c_str(), printer, SetupContext::kPathWidth) != 0;
            choice.SetPrinterName(named ? printer : L"");
            const int32_t type = named ? choice.GetPrinterType(printer) : -1;
            const std::wstring family = type == 1 ? L"24-pin" : type == 2 ? L"9-pin" : L"";
            choice.ResolveDriverInfPath();
            const std::wstring inf = family.empty() ? L"" : DisplayPath(choice.driverInfPath);
            if (!m_call.json) {
                m_host.Out(L"  " + model + L"\t" + (named ? printer : L"(no printer name)") +
                           L"\t" + (family.empty() ? L"(no family)" : family) + L"\t" + inf);
            }
            list.Add(JsonText()
                         .Add(L"model", model)
                         .Add(L"printer", named ? printer : L"")
                         .Add(L"family", family)
                         .Add(L"inf", inf));
        }
        all.Add(JsonText().Add(L"series", name).Add(L"models", list));
    }
    if (m_call.json)
        m_host.Out(JsonText().Add(L"series", all).Text());
    return Outcome::kSuccess;
}

Outcome CConsoleRun::Ports() {
    StringList ports;
    if (m_setup.ListPorts(ports) == 0) {
        m_host.Err(L"The spooler's ports could not be listed.");
        return Outcome::kFailed;
    }
    JsonArray list;
    for (const std::wstring& port : ports) {
        if (!m_call.json)
            m_host.Out(port);
        list.Add(port);
    }
    // A queue on CUPS prints to any device URI, of the network backends too, which are not
    // listed since finding their printers would probe the network.
    JsonText json;
    json.Add(L"ports", list);
    if (m_cups)
        json.Add(L"anyDeviceUri", true);
    if (m_call.json)
        m_host.Out(json.Text());
    else if (m_cups)
        m_host.Err(
            L"Any CUPS device URI is accepted as --port, for example "
            L"socket://192.0.2.10:9100 or lpd://192.0.2.10/queue.");
    return Outcome::kSuccess;
}

std::wstring CConsoleRun::DriverVersion() const {
    wchar_t version[SetupContext::kPathWidth] = {};
    if (m_setup.ReadProfileString(L"Version", L"DriverVer", m_setup.driverInfPath, version,
                                  SetupContext::kPathWidth) == 0) {
        return std::wstring();
    }
    return version;
}

Outcome CConsoleRun::Install() {
    Outcome exit = Outcome::kSuccess;
    if (!Elevated(exit) || !UseSetupFolder(exit) || !ChooseModel(exit, true))
        return exit;
    std::wstring port = m_call.Value(L"--port");
    if (port.empty() && !DefaultPort(port, exit))
        return exit;
    if (!CopyText(m_setup.portName, SetupContext::kNameWidth, port.c_str())) {
        m_host.Err(L"The port name is too long: " + port);
        return Outcome::kBadArguments;
    }
    m_setup.SetMakeDefault(m_call.Has(L"--no-default") ? 0 : 1);
    m_setup.SetPrintTestPage(m_call.Has(L"--test-page") ? 1 : 0);
    m_setup.queueCheck = QueueCheck::kPoll;

    // Start-up scripts and configuration management run it again and again: a printer installed
    // as asked is left alone.
    const std::wstring version = DriverVersion();
    if (!m_call.Has(L"--force") && InstalledAsAsked(port, version)) {
        // As asked includes the default: a printer that should be the default and is not is
        // made it, and that is a change.
        if (m_setup.GetMakeDefault() != 0 &&
            LookUpDefaultPrinter(m_setup.printerName) != QueueLookup::kPresent)
            return MakeDefault(port);
        if (DryRun())
            PlanRepairs();
        return Report(PrinterName() + L" is installed on " + port +
                          L" already; nothing to do (--force installs it again).",
                      {false, L"unchanged", port}, Outcome::kSuccess);
    }
    if (DryRun())
        return PlanInstall(port);

    CSetupRun run(m_setup, kProgram, 0, m_queueInstall.get());
    if (!BeginRun(run, CSetupRun::Needs::kPrinterAndPort, exit))
        return exit;
    if (run.CheckExisting())
        run.Remove();
    const int32_t result = run.Install();
    if (result != 0)
        run.ApplyOptions();
    else
        run.Restore();
    if (result == 0) {
        ForgetRecordWithoutQueue();
        const bool cancelled = run.Cancelled();
        m_host.Err(cancelled ? L"Stopped on request; the replaced queues are back."
                             : L"The printer " + PrinterName() + L" was not installed; the log (" +
                                   run.LogPath() + L") says why.");
        const Outcome failure =
            cancelled ? Outcome::kCancelled : Failed(run, Outcome::kInstallFailed);
        return EndRun(
            run, false, cancelled ? L"cancelled" : L"not installed",
            Report(L"", {false, cancelled ? L"cancelled" : L"failed", port, run.BackupPath()},
                   failure));
    }
    IClockService* clock = Services().clock;
    const LocalTime now = clock != nullptr ? clock->Now() : LocalTime{};
    wchar_t stamp[32] = {};
    std::swprintf(stamp, 32, L"%04u-%02u-%02u %02u:%02u:%02u", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    IInstallRecordService* records = Services().installRecords;
    if (records != nullptr &&
        !records->Write({m_setup.printerName, m_call.Value(L"--model"), port, version, stamp}))
        LogFailure(L"Could not write the install record");
    // Nothing of ours restarts the computer: the deployment engine decides, told by the code.
    const bool restart = run.RestartRequired();
    return EndRun(
        run, true, restart ? L"installed; a restart is needed" : L"installed",
        Report(L"Installed " + PrinterName() + L" on " + port +
                   (m_cups ? std::wstring(L" as the queue ") + m_setup.printerName : L"") + L"." +
                   (restart ? L" The computer must restart before the printer can be used." : L""),
               {true, L"installed", port, run.BackupPath(), restart},
               restart ? Outcome::kRestartRequired : Outcome::kSuccess));
}

bool CConsoleRun::DefaultPort(std::wstring& port, Outcome& exit) {
    if (!m_cups) {
        // As the port page preselects: the connected printer's port, else LPT1:.
        CUSBPort detector;
        CString detected;
        port = detector.FindPortName(detected) == 1 ? detected : kDefaultPort;
        return true;
    }
    // CUPS has no port a printer could be waiting on, as LPT1: is on Windows.
    DiscoveredUsbPrinter discovered;
    if (DiscoverUsbPrinter(m_setup, discovered) == Discovery::kFound) {
        port = discovered.uri;
        return true;
    }
    m_host.Err(
        L"No supported USB printer is connected: connect it, or name its device URI with "
        L"--port (pavonis ports lists them).");
    m_host.Err(L"Usage: pavonis install --model M [--port URI]");
    exit = Outcome::kBadArguments;
    return false;
}

bool CConsoleRun::InstalledAsAsked(const std::wstring& port, const std::wstring& version) {
    if (m_queueInstall != nullptr)
        return m_queueInstall->IsInstalledAsAsked(m_setup);
    InstallRecord record;
    IInstallRecordService* records = Services().installRecords;
    return records != nullptr && records->Read(m_setup.printerName, record) &&
           record.port == port && record.driverVersion == version &&
           m_setup.FindPrinter(m_setup.printerName, port.c_str()) != 0;
}

Outcome CConsoleRun::Stage() {
    Outcome exit = Outcome::kSuccess;
    if (!Elevated(exit) || !UseSetupFolder(exit) || !ChooseModel(exit, true))
        return exit;
    // A changing run like any other: under the lock, after the repair of a run stopped dead.
    CSetupRun run(m_setup, kProgram);
    if (!BeginRun(run, CSetupRun::Needs::kPrinter, exit))
        return exit;
    if (!StageModelDriver(m_setup)) {
        m_host.Err(std::wstring(L"The driver package ") + m_setup.driverInfPath +
                   L" could not be put into the driver store.");
        return EndRun(run, false, L"not staged", Outcome::kInstallFailed);
    }
    m_host.Out(std::wstring(L"Staged ") + m_setup.driverInfPath + L".");
    return EndRun(run, true, L"staged", Outcome::kSuccess);
}

Outcome CConsoleRun::Default() {
    Outcome exit = Outcome::kSuccess;
    if (!UseSetupFolder(exit) || !ChooseModel(exit))
        return exit;
    // On CUPS the scheduler's default, for every user without one of their own (lpoptions -d),
    // is changed under the lock like every change, after the repair of a run stopped dead. On
    // Windows the command sets the running user's own default, in the user's context, which can
    // read no backup and needs no lock.
    std::unique_ptr<CSetupRun> run;
    if (m_cups && !DryRun()) {
        run = std::make_unique<CSetupRun>(m_setup, kProgram);
        if (!BeginRun(*run, CSetupRun::Needs::kPrinter, exit))
            return exit;
    }
    const auto end = [&](bool succeeded, const std::wstring& result, Outcome outcome) {
        return run != nullptr ? EndRun(*run, succeeded, result, outcome) : outcome;
    };
    if (m_setup.FindPrinter(m_setup.printerName) == 0) {
        m_host.Err(std::wstring(L"No printer named ") + m_setup.printerName + L" is installed.");
        return end(false, L"not made the default",
                   Report(L"", {false, L"failed"}, Outcome::kFailed));
    }
    if (LookUpDefaultPrinter(m_setup.printerName) == QueueLookup::kPresent)
        return end(true, L"the default already",
                   Report(PrinterName() + L" is the default printer already; nothing to do.",
                          {false, L"unchanged"}, Outcome::kSuccess));
    return MakeDefault(L"", run.get());
}

Outcome CConsoleRun::MakeDefault(const std::wstring& port, CSetupRun* begun) {
    const std::wstring made = std::wstring(m_setup.printerName) + L" the default printer";
    if (DryRun()) {
        if (m_cups || m_call.command == L"install")
            PlanRepairs();
        return Report(L"Would make " + made + L".", {true, L"madeDefault", port},
                      Outcome::kSuccess);
    }
    // An install's default is a change like its queue: under the lock, after the repairs.
    std::unique_ptr<CSetupRun> own;
    CSetupRun* run = begun;
    Outcome exit = Outcome::kSuccess;
    if (run == nullptr && m_call.command == L"install") {
        own = std::make_unique<CSetupRun>(m_setup, kProgram);
        if (!BeginRun(*own, CSetupRun::Needs::kPrinter, exit))
            return exit;
        run = own.get();
    }
    m_setup.SetMakeDefault(1);
    const bool asked = m_queueInstall != nullptr ? m_queueInstall->MakeDefault(m_setup)
                                                 : m_setup.MakeDefaultPrinter(nullptr) != 0;
    // Only a look afterwards tells: the printer UI's command says nothing of what it did, and a
    // command still running at its wait limit did nothing yet.
    const bool confirmed =
        asked && LookUpDefaultPrinter(m_setup.printerName) == QueueLookup::kPresent;
    if (!confirmed) {
        m_host.Err(std::wstring(L"The print system did not make ") + made + L".");
        const Outcome failure = run != nullptr ? Failed(*run, Outcome::kFailed) : Outcome::kFailed;
        Report(L"", {false, L"failed", port}, failure);
        return run != nullptr ? EndRun(*run, false, L"not made the default", failure) : failure;
    }
    Report(L"Made " + made + L".", {true, L"madeDefault", port}, Outcome::kSuccess);
    return run != nullptr ? EndRun(*run, true, L"made the default", Outcome::kSuccess)
                          : Outcome::kSuccess;
}

void CConsoleRun::Say(const std::wstring& line) {
    // With --json, standard output holds the one line of JSON.
    if (m_call.json)
        m_host.Err(line);
    else
        m_host.Out(line);
}

void CConsoleRun::PlanRepairs() {
    std::vector<UnfinishedRun> runs;
    FindUnfinishedRuns(runs);
    for (const UnfinishedRun& run : runs) {
        for (const CQueueBackup::Entry* entry : QueuesToRepair(run.backup)) {
            Say(L"Would first make the queue " + entry->record.name +
                L" again, removed by a run that was stopped before it ended (" + run.path + L").");
        }
    }
}

Outcome CConsoleRun::PlanInstall(const std::wstring& port) {
    PlanRepairs();
    StringList queues;
    if (m_setup.ListPrinters(m_setup.printerName, queues) < 0) {
        m_host.Err(L"The spooler's queues could not be listed.");
        return Report(L"", {false, L"failed", port}, Outcome::kInstallFailed);
    }
    bool replacesDefault = false;
    for (const std::wstring& queue : queues) {
        Say(L"Would save and replace the queue " + queue + L".");
        replacesDefault =
            replacesDefault || LookUpDefaultPrinter(queue.c_str()) == QueueLookup::kPresent;
    }
    const std::wstring driver = m_queueInstall != nullptr ? m_queueInstall->DriverFor(m_setup)
                                                          : std::wstring(m_setup.driverInfPath);
    Say(L"Would install " + PrinterName() + L" on " + port + L" with the driver " + driver + L".");
    if (m_setup.GetMakeDefault() != 0 || replacesDefault)
        Say(L"Would make it the default printer.");
    if (m_setup.GetPrintTestPage() != 0)
        Say(L"Would print a test page.");
    return Report(L"", {true, L"installed", port}, Outcome::kSuccess);
}

Outcome CConsoleRun::PlanRemove() {
    PlanRepairs();
    StringList queues;
    const int32_t count = m_setup.ListPrinters(m_setup.printerName, queues);
    if (count < 0) {
        m_host.Err(L"The spooler's queues could not be listed.");
        return Report(L"", {false, L"failed"}, Outcome::kInstallFailed);
    }
    for (const std::wstring& queue : queues)
        Say(L"Would save and remove the queue " + queue + L".");
    return Report(count == 0 ? L"No queue of " + std::wstring(m_setup.printerName) +
                                   L" is installed; nothing to do."
                             : L"",
                  {count > 0, count > 0 ? L"removed" : L"unchanged"}, Outcome::kSuccess);
}

Outcome CConsoleRun::PlanRestore() {
    PlanRepairs();
    IFileStoreService* store = Services().fileStore;
    StringList files;
    std::wstring file = m_call.arguments.empty() ? L"" : m_call.arguments[0];
    if (file.empty() && store != nullptr && store->ListFiles(CSetupRun::kBackupFolder, files)) {
        for (const std::wstring& name : files)
            file = IsBackupFileName(name) ? name : file;
    }
    std::string text;
    CQueueBackup backup;
    if (store == nullptr || file.empty() ||
        !store->ReadFile(CSetupRun::kBackupFolder, file.c_str(), text) ||
        !CQueueBackup::Parse(text, backup)) {
        m_host.Err(L"The backup file " + file + L" could not be read.");
        return Report(L"", {false, L"failed"}, Outcome::kInstallFailed);
    }
    bool changes = false;
    bool whole = true;
    for (const CQueueBackup::Entry& entry : backup.entries) {
        QueueRecord installed;
        const std::wstring& name = entry.record.name;
        switch (MatchSavedQueue(entry.record, installed)) {
            case SavedQueueMatch::kAsSaved:
                Say(name + L": installed as it was saved already.");
                break;
            case SavedQueueMatch::kGone:
                Say(L"Would make the queue " + name + L" again.");
                changes = true;
                break;
            case SavedQueueMatch::kDiffers:
                whole = whole && m_call.Has(L"--force");
                changes = changes || m_call.Has(L"--force");
                Say(m_call.Has(L"--force")
                        ? L"Would save the queue " + name + L" installed now and replace it."
                        : name +
                              L": a queue of this name with other settings is installed; it "
                              L"would be kept (--force replaces it).");
                break;
            case SavedQueueMatch::kUnknown:
                whole = false;
                Say(name + L": could not be looked at.");
                break;
        }
    }
    const std::wstring path = store->PathOf(CSetupRun::kBackupFolder, file.c_str());
    return Report(L"",
                  {changes, whole ? (changes ? L"restored" : L"unchanged") : L"failed", L"", path},
                  whole ? Outcome::kSuccess : Outcome::kInstallFailed);
}

Outcome CConsoleRun::Remove() {
    Outcome exit = Outcome::kSuccess;
    if (!Elevated(exit) || !UseSetupFolder(exit) || !ChooseModel(exit))
        return exit;
    if (DryRun())
        return PlanRemove();
    CSetupRun run(m_setup, kProgram);
    if (!BeginRun(run, CSetupRun::Needs::kPrinter, exit))
        return exit;
    run.Remove();
    if (!run.ConfirmRemoval()) {
        const bool cancelled = run.Cancelled();
        m_host.Err(std::wstring(cancelled ? L"Stopped on request; " : L"") +
                   L"Not every queue of " + m_setup.printerName + L" was removed; the log (" +
                   run.LogPath() + L") says why.");
        const Outcome failure =
            cancelled ? Outcome::kCancelled : Failed(run, Outcome::kInstallFailed);
        return EndRun(run, false, L"not removed",
                      Report(L"",
                             {!run.BackupPath().empty(), cancelled ? L"cancelled" : L"failed", L"",
                              run.BackupPath()},
                             failure));
    }
    // Only now, with no queue of the name left, does the install record go: detection rules
    // read it as "installed".
    if (IInstallRecordService* records = Services().installRecords)
        records->Delete(m_setup.printerName);
    const bool removed = !run.BackupPath().empty();
    return EndRun(run, true, L"removed",
                  Report(removed ? L"Removed the queues of " + std::wstring(m_setup.printerName) +
                                       L", saved in " + run.BackupPath() + L"."
                                 : L"No queue of " + std::wstring(m_setup.printerName) +
                                       L" is installed; nothing to do.",
                         {removed, removed ? L"removed" : L"unchanged", L"", run.BackupPath()},
                         Outcome::kSuccess));
}

Outcome CConsoleRun::Restore() {
    Outcome exit = Outcome::kSuccess;
    if (!Elevated(exit))
        return exit;
    if (DryRun())
        return PlanRestore();
    // A restore needs no printer of the setup data, only the lock.
    CSetupRun run(m_setup, kProgram);
    if (!BeginRun(run, CSetupRun::Needs::kNothing, exit))
        return exit;
    const std::wstring file = m_call.arguments.empty() ? L"" : m_call.arguments[0];
    const bool whole = run.RestoreFile(file, m_call.Has(L"--force"));
    using Fate = CSetupRun::RestoredQueue::Fate;
    bool changed = false;
    for (const CSetupRun::RestoredQueue& queue : run.RestoredQueues()) {
        changed = changed || queue.fate == Fate::kMadeAgain || queue.fate == Fate::kReplaced;
        const wchar_t* fate =
            queue.fate == Fate::kMadeAgain  ? L"made again as it was saved."
            : queue.fate == Fate::kAsSaved  ? L"installed as it was saved already."
            : queue.fate == Fate::kReplaced ? L"replaced the queue of its name, which was saved."
            : queue.fate == Fate::kDiffers
                ? L"a queue of this name with other settings is installed; kept (--force "
                  L"replaces it, saved first)."
                : L"not made again; the log says why.";
        if (!m_call.json)
            m_host.Out(queue.name + L": " + fate);
    }
    if (!whole) {
        m_host.Err(L"Not every queue of the backup is installed as it was saved; the log (" +
                   run.LogPath() + L") says why.");
        return EndRun(run, false, L"not restored",
                      Report(L"", {changed, L"failed", L"", run.BackupPath()},
                             Failed(run, Outcome::kInstallFailed)));
    }
    return EndRun(
        run, true, L"restored",
        Report(L"", {changed, changed ? L"restored" : L"unchanged", L"", run.BackupPath()},
               Outcome::kSuccess));
}

Outcome CConsoleRun::Status() {
    Outcome exit = Outcome::kSuccess;
    if (!UseSetupFolder(exit) || !ChooseModel(exit))
        return exit;
    // Detection scripts read "installed" from a line on standard output and "not installed"
    // from none, both with exit code 0; any other code means the look itself failed.
    // Backups are only readable with the rights that wrote them: without, nothing is said.
    MentionUnfinishedRuns();
    QueueState state;
    switch (LookUpInstalledQueue(m_setup.printerName, state)) {
        case QueueLookup::kPresent:
            Print(PrinterName() + L" is installed on " + state.port +
                      (m_cups ? std::wstring(L" as the queue ") + m_setup.printerName : L"") + L".",
                  m_cups ? JsonText()
                               .Add(L"installed", true)
                               .Add(L"printer", PrinterName())
                               .Add(L"queue", m_setup.printerName)
                               .Add(L"port", state.port)
                         : JsonText()
                               .Add(L"installed", true)
                               .Add(L"printer", m_setup.printerName)
                               .Add(L"port", state.port));
            return Outcome::kSuccess;
        case QueueLookup::kAbsent:
            if (m_call.json)
                m_host.Out(JsonText().Add(L"installed", false).Text());
            return Outcome::kSuccess;
        case QueueLookup::kUnknown:
            break;
    }
    m_host.Err(L"The spooler could not be asked.");
    return Outcome::kFailed;
}

void CConsoleRun::MentionUnfinishedRuns() {
    std::vector<UnfinishedRun> runs;
    FindUnfinishedRuns(runs);
    for (const UnfinishedRun& run : runs) {
        m_host.Err(L"An earlier setup run was stopped before it ended (" + run.path +
                   L"); the next install, remove or restore repairs it.");
    }
}

Outcome CConsoleRun::Validate() {
    std::wstring folder =
        m_call.arguments.empty() ? std::wstring(m_setup.setupFolder) : m_call.arguments[0];
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    const std::vector<SetupFinding> findings = CheckSetupFolder(folder);
    JsonArray list;
    for (const SetupFinding& finding : findings) {
        if (!m_call.json) {
            m_host.Out(DisplayPath(finding.file) + L":" + std::to_wstring(finding.line) + L": " +
                       finding.problem + L" Fix: " + finding.fix);
        }
        list.Add(JsonText()
                     .Add(L"file", DisplayPath(finding.file))
                     .Add(L"line", static_cast<int>(finding.line))
                     .Add(L"problem", finding.problem)
                     .Add(L"fix", finding.fix));
    }
    if (m_call.json)
        m_host.Out(JsonText().Add(L"findings", list).Text());
    else if (findings.empty())
        m_host.Out(L"No findings in " + DisplayPath(folder));
    return findings.empty() ? Outcome::kSuccess : Outcome::kFindings;
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
        return exitCode(CConsoleRun(call, host).Run());
    } catch (const std::exception& error) {
        host.Err(L"The run ended on an unexpected error: " + DecodeUtf8(error.what()));
    }
    return exitCode(Outcome::kFailed);
}
