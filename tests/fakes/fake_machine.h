#pragma once

#include <memory>
#include <string>

#include "platform/services.h"
#include "platform/standin/standin_text_conversion_service.h"
#include "tests/fakes/fake_device_tree_service.h"
#include "tests/fakes/fake_file_store_service.h"
#include "tests/fakes/fake_install_services.h"
#include "tests/fakes/fake_interface_registry_service.h"
#include "tests/fakes/fake_program_path_service.h"
#include "tests/fakes/fake_setup_services.h"
#include "tests/fakes/fake_spooler_service.h"
#include "tests/fakes/fake_usb_printer_service.h"
#include "tests/support/test_files.h"

// What the printer UI does with a command in the fake spooler: "/if" installs the queue "/n" on
// the port "/r" with the driver "/m", "/y" makes "/n" the default printer; the rest does nothing.
void CarryOutPrintUi(CFakeSpoolerService& spooler, const std::wstring& command);

// A whole machine of fakes, around the platform's own profile reader: no USB printer, an empty
// spooler with three ports, a printer UI that starts and does nothing, empty program folders. A
// fixture derives from it and installs Set() with CScopedServices, so that its members are made
// first.
class CFakeMachine {
  public:
    PlatformServices Set() {
        return {profile.get(),   &programPath, &usb,   &registry,   &text,      &spooler,
                &launcher,       &pnp,         &clock, &deviceTree, &fileStore, &setupLock,
                &installRecords, &session};
    }

    // Nothing the code opened is left open, and no setup lock is left held.
    bool AllReleased() const {
        return usb.AllReleased() && registry.AllReleased() && spooler.AllReleased() &&
               setupLock.held == 0;
    }

    // From now on the printer UI carries out the commands it is given.
    void RealPrinterUi() {
        launcher.onRun = [this](const std::wstring& command) { CarryOutPrintUi(spooler, command); };
    }

    std::unique_ptr<IProfileService> profile = MakePlatformProfileService();
    CFakeProgramPathService programPath;
    CFakeUsbPrinterService usb;
    CFakeInterfaceRegistryService registry;
    CStandInTextConversionService text;
    CFakeSpoolerService spooler;
    CFakeLauncherService launcher;
    CFakePnpService pnp;
    CFakeClockService clock;
    CFakeDeviceTreeService deviceTree;
    CFakeFileStoreService fileStore;
    CFakeSetupLockService setupLock;
    CFakeInstallRecordService installRecords;
    CFakeSessionService session;
};
