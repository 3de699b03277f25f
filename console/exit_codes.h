#pragma once

// The exit codes of the console program: the Windows Installer's values, which deployment engines
// (Intune, Configuration Manager, Group Policy scripts) understand without being told.
namespace ExitCode {

constexpr int kSuccess = 0;
constexpr int kFailed = 1;        // a reading command could not look, or validate found faults
constexpr int kMissingSetup = 2;  // the setup folder or one of its files is missing
constexpr int kNotElevated = 5;  // a command that changes the spooler, without administrator rights
constexpr int kBadArguments =
    87;                           // an unknown command or option, a missing value, an unknown model
constexpr int kCancelled = 1602;  // stopped by the user (Ctrl+C)
constexpr int kInstallFailed = 1603;   // the install, removal or restore failed
constexpr int kAnotherInstall = 1618;  // another setup run of ours holds the lock

}  // namespace ExitCode
