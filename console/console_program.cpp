#include "console/console_program.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <functional>
#include <memory>

#include "console/command_line.h"
#include "console/exit_codes.h"
#include "console/json_text.h"
#include "detect/usb_port.h"
#include "install/driver_staging.h"
#include "install/finish_run.h"
#include "install/installed_queues.h"
#include "install/setup_folder_check.h"
#include "platform/clock_service.h"
#include "platform/install_record_service.h"
#include "platform/log_sink.h"
#include "platform/native_path.h"
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
    CConsoleRun(const ConsoleCall& call, IConsoleHost& host) : m_call(call), m_host(host) {}

    int Run();

  private:
    int Detect();
    int Models();
    int Ports();
    int Install();
    int Stage();
    int Default();
    int Remove();
    int Restore();
    int Status();
    int Validate();

    // The setup folder: --setup-folder, else the program's own. False (with the message and
    // exit code in `exit`) when its printer information file is missing.
    bool UseSetupFolder(int& exit);
    // The chosen model's printer name into the setup record. False with the exit code.
    bool ChooseModel(int& exit);
    bool Elevated(int& exit);
    // Ends a Finish run, copying its log to --log when asked.
    int EndRun(CFinishRun& run, int32_t result, int exit);
    // Ends a run that could not begin: another run holds the lock, or the lock cannot be had.
    int NotBegun(CFinishRun& run);
    std::wstring DriverVersion() const;
    void Print(const std::wstring& text, const JsonText& json);

    const ConsoleCall& m_call;
    IConsoleHost& m_host;
    SetupContext m_setup;
};

int CConsoleRun::Run() {
    const std::wstring& command = m_call.command;
    const bool needsWindows = command != L"models" && command != L"validate";
    if (needsWindows && !m_host.HasWindows()) {
        m_host.Err(L"The command " + command + L" needs Windows.");
        return ExitCode::kFailed;
    }
    const std::map<std::wstring, int (CConsoleRun::*)()> commands = {
        {L"detect", &CConsoleRun::Detect}, {L"models", &CConsoleRun::Models},
        {L"ports", &CConsoleRun::Ports},   {L"install", &CConsoleRun::Install},
        {L"stage", &CConsoleRun::Stage},   {L"default", &CConsoleRun::Default},
        {L"remove", &CConsoleRun::Remove}, {L"restore", &CConsoleRun::Restore},
        {L"status", &CConsoleRun::Status}, {L"validate", &CConsoleRun::Validate},
    };
    return (this->*commands.at(command))();
}

bool CConsoleRun::UseSetupFolder(int& exit) {
    std::wstring folder = m_call.Value(L"--setup-folder");
    if (!folder.empty()) {
        if (folder.back() != L'\\' && folder.back() != L'/')
            folder += L'\\';
        if (folder.size() >= SetupContext::kPathWidth) {
            m_host.Err(L"The setup folder's path is too long: " + folder);
            exit = ExitCode::kMissingSetup;
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
        exit = ExitCode::kMissingSetup;
        return false;
    }
    return true;
}

bool CConsoleRun::ChooseModel(int& exit) {
    const std::wstring model = m_call.Value(L"--model");
    wchar_t printer[SetupContext::kPathWidth] = {};
    if (m_setup.LookUpPrinterName(model.c_str(), printer, SetupContext::kPathWidth) == 0 ||
        !CopyText(m_setup.printerName, SetupContext::kNameWidth, printer)) {
        m_host.Err(L"The setup data has no printer name for the model " + model +
                   L" (see: pavonis models).");
        exit = ExitCode::kBadArguments;
        return false;
    }
    m_setup.ResolveDriverInfPath();
    return true;
}

bool CConsoleRun::Elevated(int& exit) {
    ISessionService* session = Services().session;
    if (session == nullptr || session->IsElevated())
        return true;
    m_host.Err(L"The command " + m_call.command +
               L" changes the printers of this computer and needs administrator rights: run it "
               L"from an elevated prompt, or as SYSTEM.");
    exit = ExitCode::kNotElevated;
    return false;
}

void CConsoleRun::Print(const std::wstring& text, const JsonText& json) {
    m_host.Out(m_call.json ? json.Text() : text);
}

int CConsoleRun::EndRun(CFinishRun& run, int32_t result, int exit) {
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

int CConsoleRun::NotBegun(CFinishRun& run) {
    if (run.LockBusy()) {
        m_host.Err(L"Another setup of Korvel printers is running; try again when it has ended.");
        return EndRun(run, 0, ExitCode::kAnotherInstall);
    }
    m_host.Err(L"The setup could not begin; the log says why.");
    return EndRun(run, 0, ExitCode::kInstallFailed);
}

int CConsoleRun::Detect() {
    int exit = ExitCode::kSuccess;
    if (!UseSetupFolder(exit))
        return exit;
    DetectedUsbPrinter printer;
    if (!DetectUsbPrinter(printer)) {
        Print(L"No supported USB printer is connected.", JsonText().Add(L"connected", false));
        return ExitCode::kSuccess;
    }
    CString series;
    const bool listed = m_setup.FindModelSeries(series, printer.model.c_str()) != 0;
    CUSBPort port;
    CString portName;
    port.FindPortName(portName);
    Print(L"VID " + printer.vid + L", PID " + printer.pid + L", model " + printer.model +
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
    return ExitCode::kSuccess;
}

int CConsoleRun::Models() {
    int exit = ExitCode::kSuccess;
    if (!UseSetupFolder(exit))
        return exit;
    StringList series;
    m_setup.ListSeries(series);
    const std::wstring wanted = m_call.Value(L"--series");
    if (!wanted.empty()) {
        if (std::find(series.begin(), series.end(), wanted) == series.end()) {
            m_host.Err(L"The setup data lists no series " + wanted + L".");
            return ExitCode::kBadArguments;
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
    return ExitCode::kSuccess;
}

int CConsoleRun::Ports() {
    StringList ports;
    if (m_setup.ListPorts(ports) == 0) {
        m_host.Err(L"The spooler's ports could not be listed.");
        return ExitCode::kFailed;
    }
    JsonArray list;
    for (const std::wstring& port : ports) {
        if (!m_call.json)
            m_host.Out(port);
        list.Add(port);
    }
    if (m_call.json)
        m_host.Out(JsonText().Add(L"ports", list).Text());
    return ExitCode::kSuccess;
}

std::wstring CConsoleRun::DriverVersion() const {
    wchar_t version[SetupContext::kPathWidth] = {};
    if (m_setup.ReadProfileString(L"Version", L"DriverVer", m_setup.driverInfPath, version,
                                  SetupContext::kPathWidth) == 0) {
        return std::wstring();
    }
    return version;
}

int CConsoleRun::Install() {
    int exit = ExitCode::kSuccess;
    if (!Elevated(exit) || !UseSetupFolder(exit) || !ChooseModel(exit))
        return exit;
    std::wstring port = m_call.Value(L"--port");
    if (port.empty()) {
        // As the port page preselects: the connected printer's port, else LPT1:.
        CUSBPort detector;
        CString detected;
        port = detector.FindPortName(detected) == 1 ? detected : kDefaultPort;
    }
    if (!CopyText(m_setup.portName, SetupContext::kNameWidth, port.c_str())) {
        m_host.Err(L"The port name is too long: " + port);
        return ExitCode::kBadArguments;
    }
    m_setup.SetMakeDefault(m_call.Has(L"--no-default") ? 0 : 1);
    m_setup.SetPrintTestPage(m_call.Has(L"--test-page") ? 1 : 0);

    // Start-up scripts run at every boot: a printer installed as asked is left alone.
    InstallRecord record;
    IInstallRecordService* records = Services().installRecords;
    const std::wstring version = DriverVersion();
    if (!m_call.Has(L"--force") && records != nullptr &&
        records->Read(m_setup.printerName, record) && record.port == port &&
        record.driverVersion == version &&
        m_setup.FindPrinter(m_setup.printerName, port.c_str()) != 0) {
        m_host.Out(std::wstring(m_setup.printerName) + L" is installed on " + port +
                   L" already; nothing to do (--force installs it again).");
        return ExitCode::kSuccess;
    }

    CFinishRun run(m_setup, kProgram);
    if (!run.Begin())
        return NotBegun(run);
    if (run.CheckExisting())
        run.Remove();
    if (m_host.StopRequested()) {
        LogLine(LogLevel::kWarning, L"Stopped on request before the install.");
        run.Restore();
        m_host.Err(L"Stopped on request; the replaced queues are back.");
        return EndRun(run, 0, ExitCode::kCancelled);
    }
    const int32_t result = run.Install();
    if (result != 0)
        run.ApplyOptions();
    else
        run.Restore();
    if (result == 0) {
        m_host.Err(std::wstring(L"The printer ") + m_setup.printerName +
                   L" was not installed; the log says why.");
        return EndRun(run, 0, ExitCode::kInstallFailed);
    }
    IClockService* clock = Services().clock;
    const LocalTime now = clock != nullptr ? clock->Now() : LocalTime{};
    wchar_t stamp[32] = {};
    std::swprintf(stamp, 32, L"%04u-%02u-%02u %02u:%02u:%02u", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    if (records != nullptr &&
        !records->Write({m_setup.printerName, m_call.Value(L"--model"), port, version, stamp}))
        LogFailure(L"Could not write the install record");
    m_host.Out(std::wstring(L"Installed ") + m_setup.printerName + L" on " + port + L".");
    return EndRun(run, 1, ExitCode::kSuccess);
}

int CConsoleRun::Stage() {
    int exit = ExitCode::kSuccess;
    if (!Elevated(exit) || !UseSetupFolder(exit) || !ChooseModel(exit))
        return exit;
    if (m_setup.GetPrinterType(m_setup.printerName) < 0) {
        m_host.Err(std::wstring(L"The setup data gives no driver family for ") +
                   m_setup.printerName + L".");
        return ExitCode::kMissingSetup;
    }
    if (!StageModelDriver(m_setup)) {
        m_host.Err(std::wstring(L"The driver package ") + m_setup.driverInfPath +
                   L" could not be put into the driver store.");
        return ExitCode::kInstallFailed;
    }
    m_host.Out(std::wstring(L"Staged ") + m_setup.driverInfPath + L".");
    return ExitCode::kSuccess;
}

int CConsoleRun::Default() {
    int exit = ExitCode::kSuccess;
    if (!UseSetupFolder(exit) || !ChooseModel(exit))
        return exit;
    if (m_setup.FindPrinter(m_setup.printerName) == 0) {
        m_host.Err(std::wstring(L"No printer named ") + m_setup.printerName + L" is installed.");
        return ExitCode::kFailed;
    }
    m_setup.SetMakeDefault(1);
    if (m_setup.MakeDefaultPrinter(nullptr) == 0) {
        m_host.Err(L"The default-printer command could not be started.");
        return ExitCode::kFailed;
    }
    m_host.Out(std::wstring(L"Made ") + m_setup.printerName + L" the default printer.");
    return ExitCode::kSuccess;
}

int CConsoleRun::Remove() {
    int exit = ExitCode::kSuccess;
    if (!Elevated(exit) || !UseSetupFolder(exit) || !ChooseModel(exit))
        return exit;
    CFinishRun run(m_setup, kProgram);
    if (!run.Begin(CFinishRun::Needs::kPrinter))
        return NotBegun(run);
    run.Remove();
    if (!run.ConfirmRemoval()) {
        m_host.Err(L"A queue could not be saved, so it was kept; the log says why.");
        return EndRun(run, 0, ExitCode::kInstallFailed);
    }
    if (IInstallRecordService* records = Services().installRecords)
        records->Delete(m_setup.printerName);
    m_host.Out(std::wstring(L"Removed the queues of ") + m_setup.printerName +
               (run.BackupPath().empty() ? L"." : L", saved in " + run.BackupPath() + L"."));
    return EndRun(run, 1, ExitCode::kSuccess);
}

int CConsoleRun::Restore() {
    int exit = ExitCode::kSuccess;
    if (!Elevated(exit))
        return exit;
    // A restore needs no printer of the setup data, only the lock.
    CFinishRun run(m_setup, kProgram);
    if (!run.Begin(CFinishRun::Needs::kNothing))
        return NotBegun(run);
    const std::wstring file = m_call.arguments.empty() ? L"" : m_call.arguments[0];
    if (!run.RestoreFile(file)) {
        m_host.Err(L"Not every queue of the backup came back; the log says why.");
        return EndRun(run, 0, ExitCode::kInstallFailed);
    }
    m_host.Out(L"Restored the queues of " + run.BackupPath() + L".");
    return EndRun(run, 1, ExitCode::kSuccess);
}

int CConsoleRun::Status() {
    int exit = ExitCode::kSuccess;
    if (!UseSetupFolder(exit) || !ChooseModel(exit))
        return exit;
    // Detection scripts read "installed" from a line on standard output and "not installed"
    // from none, both with exit code 0; any other code means the look itself failed.
    QueueState state;
    switch (LookUpInstalledQueue(m_setup.printerName, state)) {
        case QueueLookup::kPresent:
            Print(std::wstring(m_setup.printerName) + L" is installed on " + state.port + L".",
                  JsonText()
                      .Add(L"installed", true)
                      .Add(L"printer", m_setup.printerName)
                      .Add(L"port", state.port));
            return ExitCode::kSuccess;
        case QueueLookup::kAbsent:
            if (m_call.json)
                m_host.Out(JsonText().Add(L"installed", false).Text());
            return ExitCode::kSuccess;
        case QueueLookup::kUnknown:
            break;
    }
    m_host.Err(L"The spooler could not be asked.");
    return ExitCode::kFailed;
}

int CConsoleRun::Validate() {
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
    return findings.empty() ? ExitCode::kSuccess : ExitCode::kFailed;
}

}  // namespace

std::wstring ConsoleHelp() {
    return LR"(pavonis: installs Korvel printers without a window, for deployment engines and scripts.

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
  remove --model M            removes the printer's queues, saved first
  restore [BACKUP]            makes the queues of a backup file again (the newest without one)
  status --model M            one line when the printer is installed, none when it is not
  validate [DIR]              checks a setup folder and lists every finding

Options:
  --setup-folder DIR          the setup folder (default: the folder of this program)
  --log FILE                  also append the run's log to FILE
  --json                      machine output for detect, models, ports, status, validate
  --help, --version

The default printer belongs to each user. Deployment engines install as SYSTEM, whose default is
nobody's: run "pavonis default --model M" in the user's context (an Intune user assignment, a logon
script) to make the printer the user's default.

Exit codes: 0 success; 1 a reading command failed, or validate found faults; 2 setup folder or file
missing; 5 not run as administrator; 87 bad arguments; 1602 cancelled; 1603 install, removal or
restore failed; 1618 another setup of Korvel printers is running.
Logs: %ProgramData%\Korvel Setup\Logs. Backups of replaced queues: %ProgramData%\Korvel Setup\Backups.)";
}

int RunConsoleProgram(const std::vector<std::wstring>& arguments, IConsoleHost& host) {
    ConsoleCall call;
    std::wstring message;
    if (!ParseCommandLine(arguments, call, message)) {
        host.Err(message);
        host.Err(L"Usage: pavonis COMMAND [OPTIONS]; pavonis --help lists them.");
        return ExitCode::kBadArguments;
    }
    if (call.help) {
        host.Out(ConsoleHelp());
        return ExitCode::kSuccess;
    }
    if (call.version) {
        host.Out(kVersion);
        return ExitCode::kSuccess;
    }
    return CConsoleRun(call, host).Run();
}
