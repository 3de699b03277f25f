#pragma once

// What one call of the console program came to. Each system gets it as the exit codes its
// deployment tools understand without being told: on Windows the Windows Installer's values
// (Intune, Configuration Manager, Group Policy scripts), on Linux the BSD sysexits values, since a
// POSIX process passes on only eight bits (1603 would arrive as 67).
enum class Outcome {
    kSuccess,
    kRestartRequired,  // success; the computer must restart before the driver is in use
    kFailed,           // a reading command could not look
    kFindings,         // validate found faults in the setup folder
    kMissingSetup,     // the setup folder or one of its files is missing
    kNotAuthorized,    // not run as administrator, or the print system refused us its rights
    kBadArguments,     // an unknown command or option, a missing value, an unknown model
    kUnsupported,      // the command needs a print system this build does not have
    kCancelled,        // stopped by the user (Ctrl+C)
    kInstallFailed,    // the install, removal or restore failed
    kAnotherInstall,   // another setup run of ours holds the lock
};

int WindowsExitCode(Outcome outcome);
int PosixExitCode(Outcome outcome);
