#include "console/exit_codes.h"

namespace {

struct ExitCodes {
    Outcome outcome;
    int windows;
    int posix;
};

// The Windows column is the Windows Installer's (3010: success, a restart is needed; never 1641,
// which would say that one was started); the POSIX column is sysexits.h's (EX_USAGE 64,
// EX_DATAERR 65, EX_NOINPUT 66, EX_UNAVAILABLE 69, EX_TEMPFAIL 75, EX_NOPERM 77), with 1 for a
// failure of the work itself and 130, the shell's value for a program ended by Ctrl+C, for a
// cancelled run.
constexpr ExitCodes kExitCodes[] = {
    {Outcome::kSuccess, 0, 0},
    {Outcome::kRestartRequired, 3010, 0},
    {Outcome::kFailed, 1, 1},
    {Outcome::kFindings, 1, 65},
    {Outcome::kMissingSetup, 2, 66},
    {Outcome::kNotAuthorized, 5, 77},
    {Outcome::kBadArguments, 87, 64},
    {Outcome::kUnsupported, 1, 69},
    {Outcome::kCancelled, 1602, 130},
    {Outcome::kInstallFailed, 1603, 1},
    {Outcome::kAnotherInstall, 1618, 75},
};

const ExitCodes& CodesOf(Outcome outcome) {
    for (const ExitCodes& codes : kExitCodes) {
        if (codes.outcome == outcome)
            return codes;
    }
    return kExitCodes[1];
}

}  // namespace

int WindowsExitCode(Outcome outcome) {
    return CodesOf(outcome).windows;
}

int PosixExitCode(Outcome outcome) {
    return CodesOf(outcome).posix;
}
