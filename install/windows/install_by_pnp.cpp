#include <string>

#include "install/windows/inf_model_line.h"
#include "platform/log_sink.h"
#include "platform/pnp_service.h"
#include "platform/services.h"
#include "platform/text_conversion_service.h"
#include "setupdata/setup_context.h"

int32_t SetupContext::InstallByPnp() {
    if (printerName[0] == L'\0')
        return 0;
    ResolveDriverInfPath();
    std::wstring key = InfModelLine::KeyOf(printerName);
    char hardwareId[InfModelLine::kIdBytes] = {};
    if (FindInfHardwareId(driverInfPath, key.data(), static_cast<uint32_t>(key.size()),
                          hardwareId) == 0) {
        LogLine(LogLevel::kError, std::wstring(L"No USB model line for ") + printerName + L" in " +
                                      driverInfPath + L".");
        return 0;
    }
    ITextConversionService* conversion = Services().textConversion;
    IPnpService* pnp = Services().pnp;
    if (conversion == nullptr || pnp == nullptr)
        return 0;
    const std::wstring wideId = conversion->AnsiToWide(hardwareId);
    LogLine(LogLevel::kInformation,
            L"Plug-and-Play driver update for " + wideId + L" from " + driverInfPath + L".");
    // The restart the update may ask for is never offered or started.
    if (pnp->UpdateDriver(wideId.c_str(), driverInfPath))
        return 1;
    LogFailure(L"The Plug-and-Play driver update failed");
    return 0;
}
