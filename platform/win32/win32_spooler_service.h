#pragma once

#include <windows.h>
#include <winspool.h>
// <winspool.h> maps these names to the wide functions, which would rename the members of the
// same names in every file that sees both headers. The functions keep their wide names.
#undef OpenPrinter
#undef DeletePrinterDriver
#undef SetDefaultPrinter

#include "platform/spooler_service.h"

// The local print spooler through the winspool API. The printer handles OpenPrinter opens are
// handed to the caller, who closes them with ClosePrinter; every other method closes what it
// opens.
class CWin32SpoolerService : public ISpoolerService {
  public:
    bool ListLocalPrinters(StringList& names) override;
    bool ListPorts(StringList& names) override;
    PrinterHandle OpenPrinter(const wchar_t* name) override;
    bool PurgePrinter(PrinterHandle printer) override;
    bool DeletePrinter(PrinterHandle printer) override;
    bool ClosePrinter(PrinterHandle printer) override;
    bool DeletePrinterDriver(const wchar_t* name) override;
    QueueLookup LookUpQueue(const wchar_t* name, QueueState& state) override;
    bool ReadQueue(const wchar_t* name, QueueRecord& record) override;
    bool IsDriverInstalled(const wchar_t* name) override;
    bool InstallDriverFromPackage(const QueueRecord& record) override;
    bool AddQueue(const QueueRecord& record) override;
    bool SetDefaultPrinter(const wchar_t* name) override;
    bool ReadDefaultPrinter(std::wstring& name) override;
    bool StageDriverPackage(const wchar_t* infPath) override;
    // Names the Print Spooler service and gives the failed call's Windows error text and the
    // service's state (stopped, starting, running, ...), as the service control manager tells it.
    std::wstring UnreachableReason(const std::optional<PlatformFailure>& failure) override;
};
