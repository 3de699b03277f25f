#pragma once

#include <string>

// How serious a line of the setup log is; the numbers are the types that Windows administrators'
// log viewers colour (information, warning, error).
enum class LogLevel { kInformation = 1, kWarning = 2, kError = 3 };

// Where the lines of the setup log go while a setup run has one. Any thread may write.
class ILogSink {
  public:
    virtual ~ILogSink() = default;

    virtual void Write(LogLevel level, const std::wstring& message) = 0;
};

// Writes a line to the log in force (Services().log); nothing when there is none.
void LogLine(LogLevel level, const std::wstring& message);

// Writes what failed (`what`) with the platform call that failed on this thread last, its error
// code and the system's text for it, when a backend recorded one.
void LogFailure(const std::wstring& what, LogLevel level = LogLevel::kError);

// How many failures LogFailure has written on this thread that the system refused for want of
// rights. A step compares the count before and after it, so that its outcome names a refusal only
// when one of its own failures was one: a refusal that some earlier step met, or that only
// served a look and was dropped unlogged, says nothing of this step.
uint32_t LoggedRefusalCount();
