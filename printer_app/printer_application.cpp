#include "printer_app/printer_application.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "korvel_version.h"
#include "printer_app/escp_driver.h"
#include "printer_app/png_filter.h"
#include "setupdata/setup_context.h"

namespace {

// The service's fixed port on the loopback, and its folders when the package runs it.
constexpr int kDefaultPort = 8631;
constexpr char kDefaultStateDirectory[] = "/var/lib/korvel-printer-app";
constexpr char kDefaultSpoolDirectory[] = "/var/spool/korvel-printer-app";
// The group whose members may reach the domain socket, and so change the system.
constexpr char kDefaultAdminGroup[] = "lpadmin";

std::string Option(const char* name, int count, cups_option_t* options, const char* fallback) {
    const char* value = cupsGetOption(name, count, options);
    return value != nullptr ? value : fallback;
}

pappl_loglevel_t LogLevel(const std::string& name) {
    if (name == "debug")
        return PAPPL_LOGLEVEL_DEBUG;
    if (name == "info")
        return PAPPL_LOGLEVEL_INFO;
    if (name == "error")
        return PAPPL_LOGLEVEL_ERROR;
    return PAPPL_LOGLEVEL_WARN;
}

void Complain(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", CPrinterApplication::kName, text.c_str());
}

}  // namespace

bool IsJobOperation(ipp_op_t operation) {
    switch (operation) {
        case IPP_OP_PRINT_JOB:
        case IPP_OP_VALIDATE_JOB:
        case IPP_OP_CREATE_JOB:
        case IPP_OP_SEND_DOCUMENT:
        case IPP_OP_CANCEL_JOB:
        case IPP_OP_CANCEL_CURRENT_JOB:
        case IPP_OP_CANCEL_MY_JOBS:
        case IPP_OP_CLOSE_JOB:
        case IPP_OP_GET_JOB_ATTRIBUTES:
        case IPP_OP_GET_JOBS:
        case IPP_OP_GET_PRINTER_ATTRIBUTES:
        case IPP_OP_CREATE_JOB_SUBSCRIPTIONS:
        case IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS:
        case IPP_OP_GET_SUBSCRIPTION_ATTRIBUTES:
        case IPP_OP_GET_SUBSCRIPTIONS:
        case IPP_OP_RENEW_SUBSCRIPTION:
        case IPP_OP_CANCEL_SUBSCRIPTION:
        case IPP_OP_GET_NOTIFICATIONS:
            return true;
        default:
            return false;
    }
}

bool IsServerCommand(int argc, char** argv) {
    // The sub-command is the first argument that is neither an option nor an option's value.
    static const char kOptionsWithValue[] = "dhjmnotuv";
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-')
            return std::strcmp(argument, "server") == 0;
        const size_t length = std::strlen(argument);
        if (length == 2 && std::strchr(kOptionsWithValue, argument[1]) != nullptr)
            ++i;
    }
    return false;
}

int CPrinterApplication::Run(int argc, char** argv) {
    m_serverCommand = IsServerCommand(argc, argv);
    // PAPPL puts the domain socket of an account other than root in its temporary folder; the
    // service (and whoever talks to it) names the folder by XDG_RUNTIME_DIR, as for any per-user
    // runtime file.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"))
        setenv("TMPDIR", runtime, 1);
    return papplMainloop(argc, argv, KORVEL_VERSION, nullptr, 2, g_escpDrivers, AutoAddCallback,
                         DriverCallback, nullptr, nullptr, SystemCallback, nullptr, this);
}

pappl_system_t* CPrinterApplication::SystemCallback(int numOptions, cups_option_t* options,
                                                    void* data) {
    auto* self = static_cast<CPrinterApplication*>(data);
    return self->m_serverCommand ? self->CreateServer(numOptions, options)
                                 : self->CreateSystem(numOptions, options);
}

// The system of a command that lists the drivers: no listener, nothing kept.
pappl_system_t* CPrinterApplication::CreateSystem(int numOptions, cups_option_t* options) {
    (void)numOptions;
    (void)options;
    pappl_system_t* system =
        papplSystemCreate(PAPPL_SOPTIONS_MULTI_QUEUE, kName, 0, nullptr, papplGetTempDir(), "-",
                          PAPPL_LOGLEVEL_ERROR, nullptr, false);
    if (system != nullptr)
        papplSystemSetPrinterDrivers(system, 2, g_escpDrivers, AutoAddCallback, nullptr,
                                     DriverCallback, this);
    return system;
}

// The server. Safe by construction: never as root, on one address (the loopback unless told
// otherwise, never every address), no system changes over TCP (see AuthCallback), no file
// devices unless asked for, and its state in a folder of its own.
pappl_system_t* CPrinterApplication::CreateServer(int count, cups_option_t* options) {
    if (getuid() == 0 || geteuid() == 0) {
        Complain("the server does not run as root: run it as the service account " +
                 std::string(kName) + " (systemctl start " + kName + ")");
        return nullptr;
    }
    // A command that finds no server would start one of its own account's; that server would
    // not be the service, so no such server is started.
    if (cupsGetOption("private-server", count, options) != nullptr) {
        Complain("no server answers on " + std::string(papplGetTempDir()) +
                 "; start the service, and give its XDG_RUNTIME_DIR");
        return nullptr;
    }
    const std::string host = Option("listen-hostname", count, options, "localhost");
    if (host.empty() || host == "*") {
        Complain("listen-hostname must name one address; every address is refused");
        return nullptr;
    }
    const std::string portText = Option("server-port", count, options, "");
    char* end = nullptr;
    const long port = portText.empty() ? kDefaultPort : std::strtol(portText.c_str(), &end, 10);
    if ((end != nullptr && *end != '\0') || port <= 0 || port > 65535) {
        Complain("bad server-port " + portText);
        return nullptr;
    }
    m_fileDevices = Option("file-devices", count, options, "no") == "yes";
    m_stateFile =
        Option("state-directory", count, options, kDefaultStateDirectory) + "/" + kName + ".state";
    const std::string spool = Option("spool-directory", count, options, kDefaultSpoolDirectory);
    const std::string log = Option("log-file", count, options, "-");
    pappl_system_t* system = papplSystemCreate(
        static_cast<pappl_soptions_t>(PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_NO_TLS), kName,
        static_cast<int>(port), "_print,_universal", spool.c_str(), log.c_str(),
        LogLevel(Option("log-level", count, options, "warn")), nullptr, false);
    if (system == nullptr)
        return nullptr;
    papplSystemSetAdminGroup(system,
                             Option("admin-group", count, options, kDefaultAdminGroup).c_str());
    papplSystemSetAuthCallback(system, "Basic", AuthCallback, this);
    papplSystemSetMIMECallback(system, EscpMimeType, nullptr);
    // Found before PAPPL's own PNG filter, which goes to PWG raster.
    papplSystemAddMIMEFilter(system, "image/png", kEscpMimeType, FilterPng, nullptr);
    papplSystemAddMIMEFilter(system, "application/octet-stream", kEscpMimeType, RefuseUntypedData,
                             nullptr);
    papplSystemSetPrinterDrivers(system, 2, g_escpDrivers, AutoAddCallback, nullptr, DriverCallback,
                                 this);
    if (!papplSystemAddListeners(system, host.c_str())) {
        Complain("cannot listen on " + host + ":" + std::to_string(port));
        papplSystemDelete(system);
        return nullptr;
    }
    m_system = system;
    papplSystemLoadState(system, m_stateFile.c_str());
    papplSystemSetSaveCallback(system, SaveCallback, this);
    return system;
}

// Asked for every request over TCP that needs rights (the domain socket needs none: its folder
// lets only the service's account and administrators in). Printing and the jobs' own operations
// pass, as PAPPL lets them pass on the loopback; everything that changes the system or a printer
// is refused. PAM could not check an administrator's password here anyway: the service's
// account may not read the password database.
http_status_t CPrinterApplication::AuthCallback(pappl_client_t* client, const char* group, gid_t,
                                                void* data) {
    auto* self = static_cast<CPrinterApplication*>(data);
    if (group == nullptr || group[0] == '\0' || IsJobOperation(papplClientGetOperation(client)))
        return HTTP_STATUS_CONTINUE;
    papplLog(self->m_system, PAPPL_LOGLEVEL_WARN,
             "Refused %s over TCP: changes are made through the domain socket.",
             ippOpString(papplClientGetOperation(client)));
    return HTTP_STATUS_FORBIDDEN;
}

bool CPrinterApplication::DriverCallback(pappl_system_t* system, const char* driverName,
                                         const char* deviceUri, const char*,
                                         pappl_pr_driver_data_t* driverData, ipp_t**, void* data) {
    auto* self = static_cast<CPrinterApplication*>(data);
    // PAPPL's file device appends to any path the server's account may write: only a server
    // started for tests, by someone who has that account's rights anyway, takes one.
    if (deviceUri != nullptr && std::strncmp(deviceUri, "file:", 5) == 0 && !self->m_fileDevices) {
        papplLog(system, PAPPL_LOGLEVEL_ERROR,
                 "Refused the device %s: this server takes no file devices.", deviceUri);
        return false;
    }
    return driverName != nullptr && FillEscpDriverData(driverName, driverData);
}

const char* CPrinterApplication::AutoAddCallback(const char*, const char* deviceUri,
                                                 const char* deviceId, void* data) {
    auto* self = static_cast<CPrinterApplication*>(data);
    // Connected USB printers only: a printer found on the network is not ours to add.
    if (deviceId == nullptr || (deviceUri != nullptr && std::strncmp(deviceUri, "usb:", 4) != 0))
        return nullptr;
    if (!self->m_modelsLoaded) {
        // The setup folder the package installs beside the program, as pavonis finds it.
        SetupContext setup;
        self->m_models.Load(setup);
        self->m_modelsLoaded = true;
    }
    return self->m_models.DriverForDeviceId(deviceId);
}

bool CPrinterApplication::SaveCallback(pappl_system_t* system, void* data) {
    return papplSystemSaveState(system,
                                static_cast<CPrinterApplication*>(data)->m_stateFile.c_str());
}
