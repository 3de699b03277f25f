#pragma once

#include "console/exit_codes.h"

class CConsoleContext;

// pavonis ports: the ports the print system offers a queue.
Outcome RunPortsCommand(CConsoleContext& context);
