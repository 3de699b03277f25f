#pragma once

#include <string>

#include "console/command_line.h"
#include "console/console_program.h"

// The port of an install is a device URI on Linux, which may carry a password. On the command
// line every account of the machine can read it while the run lasts; --port-file takes it from a
// file, or with "-" from standard input, instead.

// Sets --port of the call to the first line of the file that --port-file names, or for "-" of
// the host's standard input, without a UTF-8 byte order mark and without its line break. A call
// without --port-file is left as it is. False with the reason in `why` for a file that is not to
// be trusted or cannot be read, and for a first line that is empty or longer than a port can be.
bool TakePortFromFile(ConsoleCall& call, IConsoleHost& host, std::wstring& why);

// The warning for a --port whose device URI holds a password, in one line; empty for any other.
std::wstring PasswordOnCommandLineWarning(const ConsoleCall& call, ConsolePlatform platform);
