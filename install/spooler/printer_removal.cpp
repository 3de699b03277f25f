#include <string>

#include "platform/log_sink.h"
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
    if (spooler == nullptr || name == nullptr || name[0] == L'\0')
        return 0;
    // The spooler gets a private copy of the name, which may be an entry of the caller's list.
    const std::wstring copy(name);
    if (PrinterHandle printer = spooler->OpenPrinter(copy.c_str())) {
        // A failure to purge, delete or close changes nothing that follows: the driver deletion
        // is tried all the same, and only it decides the result.
        if (PurgePrinter(printer) == 0)
            LogFailure(L"Could not empty the queue " + copy, LogLevel::kWarning);
        if (!spooler->DeletePrinter(printer))
            LogFailure(L"Could not delete the queue " + copy, LogLevel::kWarning);
        if (!spooler->ClosePrinter(printer))
            LogFailure(L"Could not close the queue " + copy, LogLevel::kWarning);
    } else {
        LogFailure(L"Could not open the queue " + copy, LogLevel::kWarning);
    }
    if (spooler->DeletePrinterDriver(copy.c_str())) {
        LogLine(LogLevel::kInformation, L"Deleted the driver " + copy + L".");
        return 1;
    }
    // Usual for the copies of a queue, whose names no driver has, and for a shared driver.
    LogFailure(L"Did not delete a driver named " + copy, LogLevel::kWarning);
    return 0;
}
