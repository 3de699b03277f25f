#include "console/console_program.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>

#include "console/command_line.h"
#include "console/exit_codes.h"
#include "console/json_text.h"
#include "detect/discovered_usb_printer.h"
#include "detect/usb_port.h"
#include "install/driver_staging.h"
#include "install/finish_run.h"
#include "install/installed_queues.h"
#include "install/queue_install.h"
#include "install/setup_folder_check.h"
#include "platform/clock_service.h"
#include "platform/install_record_service.h"
#include "platform/log_sink.h"
#include "platform/native_path.h"
#include "platform/platform_failure.h"
#include "platform/services.h"
#include "platform/session_service.h"
#include "platform/spooler_service.h"
#include "setupdata/bounded_text.h"
#include "setupdata/setup_context.h"

namespace {

constexpr wchar_t kProgram[] = L"pavonis";
constexpr wchar_t kVersion[] = L"pavonis 1.0.0";
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
    // A printer installed as asked already: on Windows by its install record, on CUPS by the
    // queue itself.
    bool InstalledAsAsked(const std::wstring& port, const std::wstring& version);
    // The outcome of a run that changed printers: a failure that the print system refused for
    // want of rights since `refusals` is kNotAuthorized, with advice.
    Outcome Changed(bool done, uint32_t refusals, Outcome failure);
    // The printer's name as the user knows it (on CUPS the queue's description).
    std::wstring PrinterName() const;

    // The setup folder: --setup-folder, else the program's own. False (with the message and
    // exit code in `exit`) when its printer information file is missing.
    bool UseSetupFolder(Outcome& exit);
    // The chosen model's printer name into the setup record. False with the exit code.
    bool ChooseModel(Outcome& exit);
    bool Elevated(Outcome& exit);
    // Ends a Finish run, copying its log to --log when asked.
    Outcome EndRun(CFinishRun& run, int32_t result, Outcome exit);
    // Ends a run that could not begin: another run holds the lock, or the lock cannot be had.
    Outcome NotBegun(CFinishRun& run);
    std::wstring DriverVersion() const;
    void Print(const std::wstring& text, const JsonText& json);

    const ConsoleCall& m_call;
    IConsoleHost& m_host;
    const bool m_cups;
    SetupContext m_setup;
    // On CUPS, from the model's choice on: the install of its queue, which knows the printer's
    // full name while the setup record holds the queue's name.
    std::unique_ptr<CQueueInstall> m_queueInstall;
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

Outcome CConsoleRun::Changed(bool done, uint32_t refusals, Outcome failure) {
    if (done)
        return Outcome::kSuccess;
    if (PlatformRefusalCount() == refusals)
        return failure;
    m_host.Err(
        L"The print system refused the change for want of rights: run it as root, or as a "
        L"member of the group the print system lets administer printers (lpadmin).");
    return Outcome::kNotAuthorized;
}

Outcome CConsoleRun::Run() {
    const std::wstring& command = m_call.command;
    if (!Available(command))
        return Outcome::kUnsupported;
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
            m_host.Err(L"The setup folder's path is too long: " + folder);
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
        m_host.Err(
            std::wstring(L"The setup folder has no printer information file: ") +
            (m_setup.printerInfoPath[0] != L'\0' ? m_setup.printerInfoPath : L"PrinterInfor.Inf"));
        exit = Outcome::kMissingSetup;
        return false;
    }
    return true;
}

bool CConsoleRun::ChooseModel(Outcome& exit) {
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

Outcome CConsoleRun::EndRun(CFinishRun& run, int32_t result, Outcome exit) {
    run.End(result);
    const std::wstring logFile = m_call.Value(L"--log");
    if (!logFile.empty()) {
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
            OpenNativeFileToAppend(logFile.c_str()), &std::fclose);
        const std::string text = run.LogText();
        if (!file || std::fwrite(text.data(), 1, text.size(), file.get()) != text.size())
            m_host.Err(L"Could not write the log to " + logFile);
    }
    return exit;
}

Outcome CConsoleRun::NotBegun(CFinishRun& run) {
    if (run.LockBusy()) {
        m_host.Err(L"Another setup of Korvel printers is running; try again when it has ended.");
        return EndRun(run, 0, Outcome::kAnotherInstall);
    }
    m_host.Err(L"The setup could not begin; the log says why.");
    return EndRun(run, 0, Outcome::kInstallFailed);
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
            const std::wstring inf = family.empty() ? L"" : choice.driverInfPath;
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
    if (!Elevated(exit) || !UseSetupFolder(exit) || !ChooseModel(exit))
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
        m_host.Out(PrinterName() + L" is installed on " + port +
                   L" already; nothing to do (--force installs it again).");
        return Outcome::kSuccess;
    }

    const uint32_t refusals = PlatformRefusalCount();
    CFinishRun run(m_setup, kProgram, 0, m_queueInstall.get());
    if (!run.Begin())
        return NotBegun(run);
    if (run.CheckExisting())
        run.Remove();
    if (m_host.StopRequested()) {
        LogLine(LogLevel::kWarning, L"Stopped on request before the install.");
        run.Restore();
        m_host.Err(L"Stopped on request; the replaced queues are back.");
        return EndRun(run, 0, Outcome::kCancelled);
    }
    const int32_t result = run.Install();
    if (result != 0)
        run.ApplyOptions();
    else
        run.Restore();
    if (result == 0) {
        m_host.Err(L"The printer " + PrinterName() + L" was not installed; the log says why.");
        return EndRun(run, 0, Changed(false, refusals, Outcome::kInstallFailed));
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
    m_host.Out(L"Installed " + PrinterName() + L" on " + port +
               (m_cups ? std::wstring(L" as the queue ") + m_setup.printerName : L"") + L".");
    return EndRun(run, 1, Outcome::kSuccess);
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
    if (!Elevated(exit) || !UseSetupFolder(exit) || !ChooseModel(exit))
        return exit;
    if (m_setup.GetPrinterType(m_setup.printerName) < 0) {
        m_host.Err(std::wstring(L"The setup data gives no driver family for ") +
                   m_setup.printerName + L".");
        return Outcome::kMissingSetup;
    }
    if (!StageModelDriver(m_setup)) {
        m_host.Err(std::wstring(L"The driver package ") + m_setup.driverInfPath +
                   L" could not be put into the driver store.");
        return Outcome::kInstallFailed;
    }
    m_host.Out(std::wstring(L"Staged ") + m_setup.driverInfPath + L".");
    return Outcome::kSuccess;
}

Outcome CConsoleRun::Default() {
    Outcome exit = Outcome::kSuccess;
    if (!UseSetupFolder(exit) || !ChooseModel(exit))
        return exit;
    if (m_setup.FindPrinter(m_setup.printerName) == 0) {
        m_host.Err(std::wstring(L"No printer named ") + m_setup.printerName + L" is installed.");
        return Outcome::kFailed;
    }
    m_setup.SetMakeDefault(1);
    if (m_queueInstall != nullptr) {
        // The scheduler's default, for every user without one of their own (lpoptions -d).
        const uint32_t refusals = PlatformRefusalCount();
        if (!m_queueInstall->MakeDefault(m_setup)) {
            m_host.Err(std::wstring(L"The print system did not make ") + m_setup.printerName +
                       L" the default printer.");
            return Changed(false, refusals, Outcome::kFailed);
        }
    } else if (m_setup.MakeDefaultPrinter(nullptr) == 0) {
        m_host.Err(L"The default-printer command could not be started.");
        return Outcome::kFailed;
    }
    m_host.Out(std::wstring(L"Made ") + m_setup.printerName + L" the default printer.");
    return Outcome::kSuccess;
}

Outcome CConsoleRun::Remove() {
    Outcome exit = Outcome::kSuccess;
    if (!Elevated(exit) || !UseSetupFolder(exit) || !ChooseModel(exit))
        return exit;
    const uint32_t refusals = PlatformRefusalCount();
    CFinishRun run(m_setup, kProgram);
    if (!run.Begin(CFinishRun::Needs::kPrinter))
        return NotBegun(run);
    run.Remove();
    if (!run.ConfirmRemoval()) {
        m_host.Err(L"A queue could not be saved, so it was kept; the log says why.");
        return EndRun(run, 0, Changed(false, refusals, Outcome::kInstallFailed));
    }
    if (IInstallRecordService* records = Services().installRecords)
        records->Delete(m_setup.printerName);
    m_host.Out(std::wstring(L"Removed the queues of ") + m_setup.printerName +
               (run.BackupPath().empty() ? L"." : L", saved in " + run.BackupPath() + L"."));
    return EndRun(run, 1, Outcome::kSuccess);
}

Outcome CConsoleRun::Restore() {
    Outcome exit = Outcome::kSuccess;
    if (!Elevated(exit))
        return exit;
    // A restore needs no printer of the setup data, only the lock.
    const uint32_t refusals = PlatformRefusalCount();
    CFinishRun run(m_setup, kProgram);
    if (!run.Begin(CFinishRun::Needs::kNothing))
        return NotBegun(run);
    const std::wstring file = m_call.arguments.empty() ? L"" : m_call.arguments[0];
    if (!run.RestoreFile(file)) {
        m_host.Err(L"Not every queue of the backup came back; the log says why.");
        return EndRun(run, 0, Changed(false, refusals, Outcome::kInstallFailed));
    }
    m_host.Out(L"Restored the queues of " + run.BackupPath() + L".");
    return EndRun(run, 1, Outcome::kSuccess);
}

Outcome CConsoleRun::Status() {
    Outcome exit = Outcome::kSuccess;
    if (!UseSetupFolder(exit) || !ChooseModel(exit))
        return exit;
    // Detection scripts read "installed" from a line on standard output and "not installed"
    // from none, both with exit code 0; any other code means the look itself failed.
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

Outcome CConsoleRun::Validate() {
    std::wstring folder =
        m_call.arguments.empty() ? std::wstring(m_setup.setupFolder) : m_call.arguments[0];
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    const std::vector<SetupFinding> findings = CheckSetupFolder(folder);
    JsonArray list;
    for (const SetupFinding& finding : findings) {
        if (!m_call.json) {
            m_host.Out(finding.file + L":" + std::to_wstring(finding.line) + L": " +
                       finding.problem + L" Fix: " + finding.fix);
        }
        list.Add(JsonText()
                     .Add(L"file", finding.file)
                     .Add(L"line", static_cast<int>(finding.line))
                     .Add(L"problem", finding.problem)
                     .Add(L"fix", finding.fix));
    }
    if (m_call.json)
        m_host.Out(JsonText().Add(L"findings", list).Text());
    else if (findings.empty())
        m_host.Out(L"No findings in " + folder);
    return findings.empty() ? Outcome::kSuccess : Outcome::kFindings;
}

}  // namespace

namespace {

// The commands both systems have alike, and the options, in --help.
constexpr wchar_t kCommonCommands[] =
    LR"(
  restore [BACKUP]            makes the queues of a backup file again (the newest without one)
  status --model M            one line when the printer is installed, none when it is not
  validate [DIR]              checks a setup folder and lists every finding

Options:
  --setup-folder DIR          the setup folder (default: the folder of this program)
  --log FILE                  also append the run's log to FILE
  --json                      machine output for detect, models, ports, status, validate
  --help, --version

)";

constexpr wchar_t kLinuxCommands[] =
    LR"(pavonis: installs Korvel printers in CUPS without a window, for configuration management
and scripts.

Usage: pavonis COMMAND [OPTIONS]

Commands:
  detect                      the connected supported USB printer, as CUPS's usb backend finds it
  models [--series NAME]      series and models, with printer name, family and driver INF
  ports                       the usb backend's device URIs (any CUPS device URI is accepted)
  install --model M [--port URI] [--no-default] [--test-page] [--force]
                              replaces the printer's queue (saved first), named after the printer
                              without blanks (Korvel_RV-90 for "Korvel RV-90"), with the setup
                              folder's PPD for its family or else the ESC/P driver CUPS ships,
                              on the connected printer without --port; unless --no-default the
                              scheduler's default; a queue as asked already is left alone unless
                              --force
  default --model M           makes the printer's queue the scheduler's default
  remove --model M            removes the printer's queue, saved first)";

constexpr wchar_t kLinuxNotes[] =
    LR"(The scheduler is the one every CUPS client finds (CUPS_SERVER, client.conf, the local socket).
Changing printers needs root or a member of the lpadmin group.

Exit codes (sysexits): 0 success; 1 the install, removal or restore failed, or a reading command
could not look; 64 bad arguments, or install without --port with no printer connected; 65 validate
found faults; 66 setup folder or file missing; 69 a command this system lacks; 75 another setup of
Korvel printers is running; 77 the print system refused the change for want of rights; 130
cancelled.
Logs: /var/log/korvel-setup, backups of replaced queues: /var/lib/korvel-setup (for others than
root ~/.local/state/korvel-setup; $LOGS_DIRECTORY and $STATE_DIRECTORY when those are set).)";

constexpr wchar_t kWindowsCommands[] =
    LR"(pavonis: installs Korvel printers without a window, for deployment engines and scripts.

Usage: pavonis COMMAND [OPTIONS]

Commands:
  detect                      the connected supported USB printer, or that there is none
  models [--series NAME]      series and models, with printer name, family and driver INF
  ports                       the spooler's ports, in its order
  install --model M [--port P] [--no-default] [--test-page] [--force]
                              removes the printer's old queues (saved first), installs it and,
                              unless --no-default, makes it the default printer; a printer
                              installed as asked already is left alone unless --force
  stage --model M             puts the model's driver package into the driver store, so that
                              Plug and Play installs it when the printer is plugged in
  default --model M           makes the installed printer the current user's default
  remove --model M            removes the printer's queues, saved first)";

constexpr wchar_t kWindowsNotes[] =
    LR"(The default printer belongs to each user. Deployment engines install as SYSTEM, whose default is
nobody's: run "pavonis default --model M" in the user's context (an Intune user assignment, a logon
script) to make the printer the user's default.

Exit codes: 0 success; 1 a reading command failed, or validate found faults; 2 setup folder or file
missing; 5 not run as administrator; 87 bad arguments; 1602 cancelled; 1603 install, removal or
restore failed; 1618 another setup of Korvel printers is running.
Logs: %ProgramData%\Korvel Setup\Logs. Backups of replaced queues: %ProgramData%\Korvel Setup\Backups.)";

}  // namespace

std::wstring ConsoleHelp(ConsolePlatform platform) {
    const bool windows = platform == ConsolePlatform::kWindows;
    return std::wstring(windows ? kWindowsCommands : kLinuxCommands) + kCommonCommands +
           (windows ? kWindowsNotes : kLinuxNotes);
}

int RunConsoleProgram(const std::vector<std::wstring>& arguments, IConsoleHost& host) {
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
    return exitCode(CConsoleRun(call, host).Run());
}
