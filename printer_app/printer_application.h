#pragma once

#include <pappl/pappl.h>

#include <string>

#include "printer_app/model_table.h"

// korvel-printer-app: PAPPL's standard main loop with our drivers, and a system made safe to run
// as a service (see CreateSystem).
class CPrinterApplication {
  public:
    // The program's name: its socket, state file and service account are named after it.
    static constexpr char kName[] = "korvel-printer-app";

    int Run(int argc, char** argv);

  private:
    static pappl_system_t* SystemCallback(int numOptions, cups_option_t* options, void* data);
    static bool DriverCallback(pappl_system_t* system, const char* driverName,
                               const char* deviceUri, const char* deviceId,
                               pappl_pr_driver_data_t* driverData, ipp_t** driverAttrs, void* data);
    static const char* AutoAddCallback(const char* deviceInfo, const char* deviceUri,
                                       const char* deviceId, void* data);
    static bool SaveCallback(pappl_system_t* system, void* data);
    static http_status_t AuthCallback(pappl_client_t* client, const char* group, gid_t groupId,
                                      void* data);

    pappl_system_t* CreateSystem(int numOptions, cups_option_t* options);
    pappl_system_t* CreateServer(int numOptions, cups_option_t* options);

    pappl_system_t* m_system = nullptr;
    bool m_serverCommand = false;
    bool m_fileDevices = false;
    std::string m_stateFile;
    bool m_modelsLoaded = false;
    CModelTable m_models;
};

// Whether an operation is printing, or one on jobs or their notifications, which every local
// client may send over TCP.
bool IsJobOperation(ipp_op_t operation);

// Whether the command line asks for the server (PAPPL's `server` sub-command), rather than a
// command that only talks to one or lists the drivers.
bool IsServerCommand(int argc, char** argv);
