#include <string>

#include "platform/pnp_service.h"
#include "platform/services.h"
#include "platform/text_conversion_service.h"
#include "setupdata/setup_context.h"

int32_t SetupContext::InstallByPnp() {
    ResolveDriverInfPath();
    // The key is the model name as the INF's model lines begin: in double quotes, so that a
    // longer model name that merely begins with this one does not match.
    std::wstring key = std::wstring(L"\"") + printerName + L"\"";
    char hardwareId[1024] = {};
    if (FindInfHardwareId(driverInfPath, key.data(), static_cast<uint32_t>(key.size()),
                          hardwareId) == 0) {
        return 0;
    }
    ITextConversionService* conversion = Services().textConversion;
    IPnpService* pnp = Services().pnp;
    if (conversion == nullptr || pnp == nullptr)
        return 0;
    const std::wstring wideId = conversion->AnsiToWide(hardwareId);
    // The restart the update may ask for is never offered or started.
    return pnp->UpdateDriver(wideId.c_str(), driverInfPath) ? 1 : 0;
}
