#pragma once

#include "setupdata/text_types.h"

// An open print queue (a Windows printer HANDLE).
using PrinterHandle = void*;

// The local print spooler: its queues, ports and drivers.
class ISpoolerService {
  public:
    virtual ~ISpoolerService() = default;

    // Appends the name of every local queue to `names`, in the spooler's order. False when the
    // spooler cannot be asked; `names` is then untouched.
    virtual bool ListLocalPrinters(StringList& names) = 0;

    // Appends the name of every port of the local spooler to `names`, in the spooler's order.
    // False when the spooler cannot be asked; `names` is then untouched.
    virtual bool ListPorts(StringList& names) = 0;

    // Opens the queue of exactly this name with full access. Null when it cannot be opened.
    virtual PrinterHandle OpenPrinter(const wchar_t* name) = 0;

    // Deletes every job of the open queue. False when the spooler refused.
    virtual bool PurgePrinter(PrinterHandle printer) = 0;

    // Marks the open queue for deletion (it goes when its last handle is closed).
    virtual bool DeletePrinter(PrinterHandle printer) = 0;

    // Closes a handle from OpenPrinter.
    virtual bool ClosePrinter(PrinterHandle printer) = 0;

    // Deletes the local driver of exactly this name, whatever its version, with the driver files
    // no other driver uses. False when it cannot be deleted (in use, or absent).
    virtual bool DeletePrinterDriver(const wchar_t* name) = 0;
};
