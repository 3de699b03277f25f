#pragma once

#include <cstdint>
#include <string>

// install/windows/ owns the two Windows install paths: the printer-UI commands (this file) and
// their runner, the Plug-and-Play driver update, and the choice between them
// (SetupContext::Install), with driver staging and the readers of the driver INF. It uses the
// setup record (setupdata/) and the platform seam only; the run in install/run/ calls it through
// the setup record.

// The printer-UI commands handed to rundll32, and their limits.
namespace PrintUiCommands {

// The longest command line with its terminator.
constexpr size_t kCommandWidth = 1024;
// How long one command is waited for.
constexpr uint32_t kWaitLimitMs = 120000;

// Whether a name or path can stand between double quotes in a command. An empty value names no
// queue, port or file. A double quote in it would end its quoted argument and could add switches of
// its own to the command; a backslash at its end would escape the closing quote on the printer
// UI's command line and run the arguments together. Such a value is never put into a command.
bool IsQuotable(const wchar_t* value);

std::wstring MakeDefault(const wchar_t* printerName);
std::wstring TestPage(const wchar_t* printerName);
// Ends in one blank, as the printer UI has always been given it.
std::wstring Install(const wchar_t* printerName, const wchar_t* infPath, const wchar_t* portName);

// The message shown when rundll32 cannot be started, by the system's error code.
const wchar_t* LaunchErrorText(uint32_t error);

}  // namespace PrintUiCommands
