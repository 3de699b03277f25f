#pragma once

#include <string>

// Who the program runs as.
class ISessionService {
  public:
    virtual ~ISessionService() = default;

    // Whether the process holds administrator rights (an elevated token), which every change of
    // the spooler needs.
    virtual bool IsElevated() = 0;

    // Whether Windows protected print mode is on: then the spooler takes no driver but the ones
    // Windows brings, and an install of ours could only fail after the old queues were gone.
    // False where the system has no such mode or cannot tell.
    virtual bool IsProtectedPrintOn() = 0;

    // Who runs the program, as an identity that stays the same across runs (on Windows the
    // account's security identifier): each account has a default printer of its own, so a repair
    // gives a queue back its default only in the account that had it. Empty where the system
    // cannot say.
    virtual std::wstring AccountName() { return std::wstring(); }
};
