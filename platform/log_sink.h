#pragma once

#include <optional>
#include <string>

#include "platform/platform_failure.h"

// How serious a line of the setup log is; the numbers are the types that Windows administrators'
// log viewers colour (information, warning, error).
enum class LogLevel { kInformation = 1, kWarning = 2, kError = 3 };

// Where the lines of the setup log go while a setup run has one. Any thread may write.
class ILogSink {
  public:
    virtual ~ILogSink() = default;

    virtual void Write(LogLevel level, const std::wstring& message) = 0;
};

// Writes a line to the log in force (Services().log); nothing when there is none. A warning or an
// error is a failure of the steps under way on this thread (CStepFailures).
void LogLine(LogLevel level, const std::wstring& message);

// Writes what failed (`what`) with the platform call that failed on this thread last, its error
// code and the system's text for it, when a backend recorded one.
void LogFailure(const std::wstring& what, LogLevel level = LogLevel::kError);

// The failures that one step logged itself on this thread (LogFailure, and LogLine's warnings and
// errors), while the object lives: whether the system refused one for want of rights, and the
// reason to give the person who ran the step. A step's outcome names only its own failures: a
// refusal that some earlier step met, or that only served a look and was dropped unlogged, says
// nothing of this step. Steps may nest; each sees what was logged while it lives.
class CStepFailures {
  public:
    CStepFailures();
    ~CStepFailures();
    CStepFailures(const CStepFailures&) = delete;
    CStepFailures& operator=(const CStepFailures&) = delete;

    bool Refused() const { return m_refused; }
    // The first failure of the most serious level the step logged: what failed and the
    // platform's own words for it ("Could not make the queue Q: Bad device-uri scheme "bogus"."),
    // or the logged line itself when no platform call failed. The first, since what follows a
    // failure in the same step is mostly its consequence (a driver still in use by a queue that
    // was not deleted). Empty when the step logged no failure.
    const std::wstring& Reason() const { return m_reason; }
    // The platform call's failure behind Reason, when there was one.
    const std::optional<PlatformFailure>& Failure() const { return m_failure; }

    // Tells every step under way on this thread of a failure that was logged.
    static void Note(LogLevel level, const std::wstring& reason,
                     const std::optional<PlatformFailure>& failure);

  private:
    CStepFailures* m_outer;
    bool m_refused = false;
    LogLevel m_level = LogLevel::kInformation;
    std::wstring m_reason;
    std::optional<PlatformFailure> m_failure;
};
