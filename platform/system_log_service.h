#pragma once

#include <string>

#include "platform/log_sink.h"

// The system's own log (syslog, and through it the journal on Linux), which keeps a copy of the
// setup log's lines so that an administrator finds the runs of a whole fleet where the system's
// other services log. Installed by the console program on Linux only; elsewhere null.
class ISystemLogService {
  public:
    virtual ~ISystemLogService() = default;

    // One line of the setup log: its level and its message, already free of passwords and line
    // breaks. Never fails the run; a line the system's log cannot take is dropped.
    virtual void Write(LogLevel level, const std::wstring& message) = 0;
};
