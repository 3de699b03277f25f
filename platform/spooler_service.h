#pragma once

#include <optional>
#include <string>

#include "platform/platform_failure.h"
#include "platform/queue_record.h"
#include "platform/text_types.h"

// An open print queue (a Windows printer HANDLE).
using PrinterHandle = void*;

// What the spooler says of the queue of one name right now.
struct QueueState {
    std::wstring port;
    // Deleted while a handle of it was still open: it goes when the last handle closes, and
    // meanwhile it is no queue to print to.
    bool pendingDeletion = false;
};

enum class QueueLookup {
    kPresent,  // the state was read
    kAbsent,   // the spooler has no queue of that name
    kUnknown,  // the spooler could not be asked: neither presence nor absence is known
};

// The local print spooler: its queues, ports and drivers. A failing call records its name and the
// system's error (RecordPlatformFailure) before it returns.
class ISpoolerService {
  public:
    virtual ~ISpoolerService() = default;

    // Appends the name of every local queue to `names`, in the spooler's order. False when the
    // spooler cannot be asked; `names` is then untouched.
    virtual bool ListLocalPrinters(StringList& names) = 0;

    // Appends the name of every port of the local spooler to `names`, in the spooler's order.
    // False when the spooler cannot be asked; `names` is then untouched.
    virtual bool ListPorts(StringList& names) = 0;

    // Opens the queue of this name, as the spooler matches names (without regard to case), with
    // full access. Null when it cannot be opened.
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

    // The port and deletion mark of the queue of this name (matched as OpenPrinter matches);
    // `state` is untouched unless kPresent.
    virtual QueueLookup LookUpQueue(const wchar_t* name, QueueState& state) = 0;

    // Everything a backup keeps of the queue of this name (QueueRecord), with whether it is the
    // default printer. False when any of it cannot be read; `record` is then untouched.
    virtual bool ReadQueue(const wchar_t* name, QueueRecord& record) = 0;

    // Whether a driver of exactly this name is installed for the platform's own environment.
    virtual bool IsDriverInstalled(const wchar_t* name) = 0;

    // Installs the record's driver again from its package in the system's driver store.
    virtual bool InstallDriverFromPackage(const QueueRecord& record) = 0;

    // Makes the queue of a record again, with its settings, device mode and printer data. Its
    // driver must be installed. A queue that could only be made in part is deleted again and the
    // result is false.
    virtual bool AddQueue(const QueueRecord& record) = 0;

    // Makes the queue of this name the default printer of the current user.
    virtual bool SetDefaultPrinter(const wchar_t* name) = 0;

    // The current user's default printer, read back so that a result can say what the spooler
    // holds rather than what was asked of it: true with its name in `name` (in the case it was
    // given in when it was made the default), or with `name` empty when there is no default
    // printer. False when the spooler cannot be asked; `name` is then untouched.
    virtual bool ReadDefaultPrinter(std::wstring& name) = 0;

    // Puts the driver package of this INF into the system's driver store without making a queue,
    // so that Plug and Play finds the driver when its printer is first plugged in.
    virtual bool StageDriverPackage(const wchar_t* infPath) = 0;

    // Why the spooler could not be asked, in whole sentences for the person who ran the program,
    // after a call failed with `failure` (its own words, when it recorded them): which spooler,
    // where, and whether it runs at all. An administrator of many desks reads this on a terminal
    // or in a deployment engine's report, where "could not be asked" alone leaves them guessing.
    virtual std::wstring UnreachableReason(const std::optional<PlatformFailure>& failure) = 0;
};
