#pragma once

#include "platform/spooler_service.h"

// Whether the queue of exactly this name (as the spooler compares names) is installed, with its
// port; kUnknown when the spooler could not be asked. An empty name is never installed.
QueueLookup LookUpInstalledQueue(const wchar_t* name, QueueState& state);
