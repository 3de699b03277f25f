#pragma once

class IClockService;
class IDeviceTreeService;
class IFileStoreService;
class IInstallRecordService;
class ILogSink;
class ISessionService;
class ISetupLockService;
class IInterfaceRegistryService;
class ILauncherService;
class IPnpService;
class IProfileService;
class IProgramPathService;
class IQueueSetupService;
class ISpoolerService;
class ISystemLogService;
class ITextConversionService;
class IUsbPrinterService;

// The process-wide set of platform services. The program's entry point installs the real ones and
// a test fixture installs fakes; the setup record reaches them here because it is a plain record
// with no virtual operations of its own. A service that is not installed is a null pointer.
struct PlatformServices {
    IProfileService* profile = nullptr;
    IProgramPathService* programPath = nullptr;
    IUsbPrinterService* usbPrinters = nullptr;
    IInterfaceRegistryService* interfaceRegistry = nullptr;
    ITextConversionService* textConversion = nullptr;
    ISpoolerService* spooler = nullptr;
    ILauncherService* launcher = nullptr;
    IPnpService* pnp = nullptr;
    IClockService* clock = nullptr;
    IDeviceTreeService* deviceTree = nullptr;
    IFileStoreService* fileStore = nullptr;
    ISetupLockService* setupLock = nullptr;
    IInstallRecordService* installRecords = nullptr;
    ISessionService* session = nullptr;
    // Only where the setup makes queues itself (CUPS); null on Windows.
    IQueueSetupService* queueSetup = nullptr;
    // Where a copy of the setup log's lines goes (syslog); only the console program on Linux
    // installs one.
    ISystemLogService* systemLog = nullptr;
    // Not a platform service: where the setup log goes while a setup run has one.
    ILogSink* log = nullptr;
};

// The set in force. Installed before any worker thread starts and not changed while one runs.
PlatformServices& Services();

// Installs a set of services for its own lifetime and puts the previous set back when it ends.
class CScopedServices {
  public:
    explicit CScopedServices(const PlatformServices& services);
    ~CScopedServices();
    CScopedServices(const CScopedServices&) = delete;
    CScopedServices& operator=(const CScopedServices&) = delete;

  private:
    PlatformServices m_previous;
};
