#pragma once

#include <string>
#include <vector>

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

    // Whether this build has the Windows spooler, USB printers and printer UI behind its platform
    // services; without them the commands that need them say so and end with exit code 1.
    virtual bool HasWindows() const = 0;
};

// Runs one call of the console program (the arguments after the program's name) on the platform
// services in force, and returns its exit code (ExitCode).
int RunConsoleProgram(const std::vector<std::wstring>& arguments, IConsoleHost& host);

// The text of --help.
std::wstring ConsoleHelp();
