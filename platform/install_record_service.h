#pragma once

#include <string>

// What an unattended install put on the machine, as the deployment engines' own detection rules
// read it from the registry without running this program.
struct InstallRecord {
    std::wstring printerName;
    std::wstring model;
    std::wstring port;
    std::wstring driverVersion;  // the driver INF's DriverVer, as written there
    std::wstring installedAt;    // local time, "2026-12-07 23:15:01"
    // Plain dotted versions that a detection rule compares as versions: the driver's, from
    // DriverVer after its date ("1.0.0.0"), and the program's that installed it ("1.0.0").
    std::wstring version = L"";
    std::wstring setupVersion = L"";

    bool operator==(const InstallRecord& other) const {
        return printerName == other.printerName && model == other.model && port == other.port &&
               driverVersion == other.driverVersion && installedAt == other.installedAt &&
               version == other.version && setupVersion == other.setupVersion;
    }
};

// The records of this program's own, one per printer name (on Windows under
// HKLM\SOFTWARE\Korvel\Printer Setup\Printers\<printer name>, in the 64-bit view). A failing
// call records its failure (RecordPlatformFailure).
class IInstallRecordService {
  public:
    virtual ~IInstallRecordService() = default;

    virtual bool Write(const InstallRecord& record) = 0;
    // False when there is none for that printer name, or it cannot be read; `record` is then
    // untouched.
    virtual bool Read(const std::wstring& printerName, InstallRecord& record) = 0;
    // True when none is left (also when there was none).
    virtual bool Delete(const std::wstring& printerName) = 0;
};
