#pragma once

#include <string>

#include "console/exit_codes.h"

class CConsoleContext;

// What an install is refused for before anything is touched, by the dry run and the real run
// alike, since a fleet plans its roll-out with the dry run: a dry run says "Would install" only
// where the run could.

// The port: on Windows one the spooler has; on CUPS a device URI with a scheme the print system
// has a backend for. --force takes a port the spooler does not list, or a scheme without a
// backend, all the same; text that is no URI is refused even then. False with the exit code.
bool CheckInstallPort(CConsoleContext& context, const std::wstring& port, Outcome& exit);

// Without --port the printer is installed on the connected printer's port: a connected printer of
// another supported model than the one asked for would get the wrong driver, so the install is
// refused, naming both, unless --force. False with the exit code.
bool CheckConnectedModel(CConsoleContext& context, Outcome& exit);
