#pragma once

// Who the program runs as.
class ISessionService {
  public:
    virtual ~ISessionService() = default;

    // Whether the process holds administrator rights (an elevated token), which every change of
    // the spooler needs.
    virtual bool IsElevated() = 0;
};
