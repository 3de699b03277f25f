#pragma once

#include "platform/services.h"
#include "platform/system_clock_service.h"
#include "platform/win32/win32_device_tree_service.h"
#include "platform/win32/win32_file_store_service.h"
#include "platform/win32/win32_install_record_service.h"
#include "platform/win32/win32_interface_registry_service.h"
#include "platform/win32/win32_launcher_service.h"
#include "platform/win32/win32_pnp_service.h"
#include "platform/win32/win32_profile_service.h"
#include "platform/win32/win32_program_path_service.h"
#include "platform/win32/win32_session_service.h"
#include "platform/win32/win32_setup_lock_service.h"
#include "platform/win32/win32_spooler_service.h"
#include "platform/win32/win32_text_conversion_service.h"
#include "platform/win32/win32_usb_printer_service.h"

// Every real service of the Windows program, and the set that names them.
class CWin32Services {
  public:
    // The wizard's launcher unless the console program asks for its own.
    explicit CWin32Services(LauncherMode launcherMode = LauncherMode::kWizard)
        : m_launcher(launcherMode) {}

    PlatformServices Set() {
        PlatformServices set;
        set.profile = &m_profile;
        set.programPath = &m_programPath;
        set.usbPrinters = &m_usbPrinters;
        set.interfaceRegistry = &m_interfaceRegistry;
        set.textConversion = &m_textConversion;
        set.spooler = &m_spooler;
        set.launcher = &m_launcher;
        set.pnp = &m_pnp;
        set.clock = &m_clock;
        set.deviceTree = &m_deviceTree;
        set.fileStore = &m_fileStore;
        set.setupLock = &m_setupLock;
        set.installRecords = &m_installRecords;
        set.session = &m_session;
        return set;
    }

  private:
    CWin32ProfileService m_profile;
    CWin32ProgramPathService m_programPath;
    CWin32UsbPrinterService m_usbPrinters;
    CWin32InterfaceRegistryService m_interfaceRegistry;
    CWin32TextConversionService m_textConversion;
    CWin32SpoolerService m_spooler;
    CWin32LauncherService m_launcher;
    CWin32PnpService m_pnp;
    CSystemClockService m_clock;
    CWin32DeviceTreeService m_deviceTree;
    CWin32FileStoreService m_fileStore;
    CWin32SetupLockService m_setupLock;
    CWin32InstallRecordService m_installRecords;
    CWin32SessionService m_session;
};
