#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class ConsolePlatform {
    kWindows,  // the Windows spooler, USB printers and printer UI: every command
    kCups,     // Linux with a CUPS scheduler: every command but stage, queues made by the setup
    kNone,     // Linux without CUPS: the setup data only (models, validate)
};

// Where the console program's words go, and what it runs on.
class IConsoleHost {
  public:
    virtual ~IConsoleHost() = default;

    // One line on standard output, and one on standard error.
    virtual void Out(const std::wstring& line) = 0;
    virtual void Err(const std::wstring& line) = 0;

    // Whether the user asked to stop (Ctrl+C, Ctrl+Break, the console closing). A run asked to
    // stop before its install starts puts back what it removed and ends with exit code 1602.
    virtual bool StopRequested() const { return false; }

    // Whether a stop may end the process at once, with the cancelled exit code (1602 on Windows,
    // 130 on Linux), instead of only being noted for StopRequested. The program allows it while
    // it runs a command that changes nothing (a reading command, a dry run), so that a stop does
    // not wait for a print system that does not answer, and forbids it again before it changes
    // anything. Forbidden until allowed. Allowing it after a stop was asked for ends the process
    // in this call.
    virtual void AllowImmediateStop(bool /*allowed*/) {}

    // One line of standard input, for --port-file -: its bytes up to and including the first line
    // break, or to the end of the input, at most `mostBytes` of them, as UTF-8. False when there
    // is no standard input to read or reading it failed (the failure recorded, as
    // RecordPlatformFailure records one); a host has none unless it says otherwise.
    virtual bool ReadInputLine(std::string& /*line*/, size_t /*mostBytes*/) { return false; }

    // What the platform services in force reach, which decides the commands there are and the
    // exit codes (see Outcome).
    virtual ConsolePlatform Platform() const = 0;
};

// Runs one call of the console program (the arguments after the program's name) on the platform
// services in force, and returns its exit code, as the host's platform gives codes (Outcome).
int RunConsoleProgram(const std::vector<std::wstring>& arguments, IConsoleHost& host);

// The text of --help on a platform.
std::wstring ConsoleHelp(ConsolePlatform platform);

// The text of --version: the program's name and the project's version.
std::wstring ConsoleVersion();
