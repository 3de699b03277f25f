#include "install/windows/driver_staging.h"

#include <string>

#include "platform/log_sink.h"
#include "platform/services.h"
#include "platform/spooler_service.h"
#include "setupdata/setup_context.h"

bool StageModelDriver(SetupContext& setup) {
    ISpoolerService* spooler = Services().spooler;
    if (spooler == nullptr || setup.driverInfPath[0] == L'\0')
        return false;
    LogLine(LogLevel::kInformation,
            std::wstring(L"Staging the driver package ") + setup.driverInfPath + L".");
    if (spooler->StageDriverPackage(setup.driverInfPath))
        return true;
    LogFailure(L"Could not stage the driver package");
    return false;
}
