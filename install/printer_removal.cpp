#include <string>

#include "platform/services.h"
#include "platform/spooler_service.h"
#include "setupdata/setup_context.h"

int32_t SetupContext::PurgePrinter(void* printerHandle) const {
    ISpoolerService* spooler = Services().spooler;
    return spooler != nullptr && printerHandle != nullptr && spooler->PurgePrinter(printerHandle)
               ? 1
               : 0;
}

int32_t SetupContext::DeletePrinterAndDriver(const wchar_t* name) const {
    ISpoolerService* spooler = Services().spooler;
    if (spooler == nullptr || name == nullptr)
        return 0;
    // The spooler gets a private copy of the name, which may be an entry of the caller's list.
    const std::wstring copy(name);
    if (PrinterHandle printer = spooler->OpenPrinter(copy.c_str())) {
        // A failure to purge, delete or close changes nothing that follows: the driver deletion
        // is tried all the same, and only it decides the result.
        PurgePrinter(printer);
        spooler->DeletePrinter(printer);
        spooler->ClosePrinter(printer);
    }
    return spooler->DeletePrinterDriver(copy.c_str()) ? 1 : 0;
}
