#pragma once

#include "setupdata/setup_context.h"
#include "platform/text_types.h"

// The process-wide objects, created before the application's start-up in this order: the setup
// record, the list of checked printers, the application object.
extern SetupContext theSetup;
extern StringList checkedPrinters;
