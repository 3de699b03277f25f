#pragma once

#include <string>

#include "console/exit_codes.h"

class CConsoleContext;
class IConsoleHost;

// A command of the console program: its name, the function that runs it, and the platforms
// that have it.
struct ConsoleCommand {
    const wchar_t* name;
    Outcome (*run)(CConsoleContext& context);
    // It reads the setup data alone, and so runs without a print system too.
    bool setupDataOnly;
    // Why CUPS cannot have it, or null when it can.
    const wchar_t* whyNotOnCups;
};

// The command of that name. The command line admits no other, so an unknown name throws
// std::out_of_range.
const ConsoleCommand& FindConsoleCommand(const std::wstring& name);

// Whether the host's platform has the command; false with a message.
bool CommandAvailable(const ConsoleCommand& command, IConsoleHost& host);
