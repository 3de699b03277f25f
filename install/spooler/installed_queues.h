#pragma once

#include "platform/spooler_service.h"

// install/spooler/ owns the spooler rules every install path shares: which queues belong to a
// printer (the name in any case, or the spooler's copies of it), their removal with the driver,
// and the last look at a queue and at the default printer. It uses the setup record (setupdata/)
// and the platform seam only.

// Whether the queue of exactly this name (as the spooler compares names) is installed, with its
// port; kUnknown when the spooler could not be asked. An empty name is never installed.
QueueLookup LookUpInstalledQueue(const wchar_t* name, QueueState& state);

// Whether the queue of this name is the running account's default printer now, names compared
// as the spooler compares them: kPresent when it is, kAbsent when another or none is, kUnknown
// when the spooler could not be asked.
QueueLookup LookUpDefaultPrinter(const wchar_t* name);

// Whether any queue belongs to the printer of this name (the name in any case, or a spooler's
// copy of it, as the removal finds them): kUnknown when the queues could not be listed.
QueueLookup LookUpQueuesOf(const wchar_t* printer);
