#pragma once

#include <windows.h>
#include <winspool.h>
// <winspool.h> maps these two names to the wide functions, which would rename the members of the
// same names in every file that sees both headers. The functions keep their wide names.
#undef OpenPrinter
#undef DeletePrinterDriver

#include "platform/spooler_service.h"

// The local print spooler through the winspool API. The printer handles it opens are handed to
// the caller, who closes them with ClosePrinter.
class CWin32SpoolerService : public ISpoolerService {
  public:
    bool ListLocalPrinters(StringList& names) override;
    bool ListPorts(StringList& names) override;
    PrinterHandle OpenPrinter(const wchar_t* name) override;
    bool PurgePrinter(PrinterHandle printer) override;
    bool DeletePrinter(PrinterHandle printer) override;
    bool ClosePrinter(PrinterHandle printer) override;
    bool DeletePrinterDriver(const wchar_t* name) override;
};
