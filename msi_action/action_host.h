#pragma once

#include <cstdint>
#include <string>

// The printer an install of the package set up, kept so that a repair, an uninstall and a
// later install without MODEL find it again.
struct RememberedPrinter {
    std::wstring model;
    std::wstring port;
    std::wstring testPage;
};

// What a deferred action of the package needs from msiexec and the machine: its data, a program
// run to its end, a restart asked for, a line in the installer's log, and the remembered printer.
// The DLL answers it with the Windows Installer API; the tests with a fake.
class IActionHost {
  public:
    virtual ~IActionHost() = default;

    // The action's CustomActionData, which the package sets before it runs.
    virtual std::wstring Data() = 0;
    // Runs `program` with `commandLine` (its first word the program's own quoted name) in its
    // folder, without a window, and waits for its end. False when it could not be started, with
    // the system's error code in `error`; otherwise its exit code in `exitCode`.
    virtual bool Run(const std::wstring& program, const std::wstring& commandLine,
                     uint32_t& exitCode, uint32_t& error) = 0;
    // Asks msiexec to say at its end that the computer must restart (it answers 3010).
    virtual void RestartAtEnd() = 0;
    virtual void Log(const std::wstring& line) = 0;
    virtual bool Remember(const RememberedPrinter& printer) = 0;
    // True when nothing is remembered any more (also when nothing was).
    virtual bool Forget() = 0;
};
