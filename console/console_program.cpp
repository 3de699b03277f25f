#include "console/console_program.h"

#include <exception>

#include "console/command_line.h"
#include "console/command_table.h"
#include "console/console_context.h"
#include "console/exit_codes.h"
#include "console/password_hiding_host.h"
#include "console/port_option.h"
#include "platform/log_copy.h"
#include "platform/standin/wide_text.h"

namespace {

const std::wstring kVersion = ConsoleVersion();

// Runs the command of a call whose command line was read.
Outcome RunCommand(const ConsoleCall& given, IConsoleHost& host) {
    // The password was out for every account to read the moment the program started; the next
    // run should not do the same.
    const std::wstring warning = PasswordOnCommandLineWarning(given, host.Platform());
    if (!warning.empty())
        host.Err(warning);
    const ConsoleCommand& command = FindConsoleCommand(given.command);
    if (!CommandAvailable(command, host))
        return Outcome::kUnsupported;
    // The --log file is checked before anything is touched, and written only once the run held
    // the lock.
    std::wstring why;
    if (!given.Value(L"--log").empty() && !CheckLogCopyFile(given.Value(L"--log"), why)) {
        host.Err(why);
        return Outcome::kBadArguments;
    }
    // Until a command changes something, a stop may end the process at once: a reading command
    // or a dry run must not wait for a print system that does not answer, nor a run for a
    // standard input that gives no port. BeginRun takes the allowance back before the lock is
    // taken.
    host.AllowImmediateStop(true);
    ConsoleCall call = given;
    if (!TakePortFromFile(call, host, why)) {
        host.Err(why);
        return Outcome::kBadArguments;
    }
    CConsoleContext context(call, host);
    return command.run(context);
}

}  // namespace

int RunConsoleProgram(const std::vector<std::wstring>& arguments, IConsoleHost& outer) {
    CPasswordHidingHost host(outer);
    ConsoleCall call;
    std::wstring message;
    const ConsolePlatform platform = host.Platform();
    const auto exitCode = platform == ConsolePlatform::kWindows ? &WindowsExitCode : &PosixExitCode;
    if (!ParseCommandLine(arguments, call, message)) {
        host.Err(message);
        host.Err(L"Usage: pavonis COMMAND [OPTIONS]; pavonis --help lists them.");
        return exitCode(Outcome::kBadArguments);
    }
    if (call.help) {
        host.Out(ConsoleHelp(platform));
        return exitCode(Outcome::kSuccess);
    }
    if (call.version) {
        host.Out(kVersion);
        return exitCode(Outcome::kSuccess);
    }
    // Whatever goes wrong, the caller gets an exit code and a message, never an aborted process:
    // a run stopped half-way is repaired by the next one, from its journal.
    try {
        return exitCode(RunCommand(call, host));
    } catch (const std::exception& error) {
        host.Err(L"The run ended on an unexpected error: " + DecodeUtf8(error.what()));
    }
    return exitCode(Outcome::kFailed);
}
