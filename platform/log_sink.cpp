#include "platform/log_sink.h"

#include "platform/platform_failure.h"
#include "platform/services.h"

namespace {

// Plain data: see platform_failure.cpp for why a thread_local here has no destructor.
thread_local uint32_t t_loggedRefusals = 0;

}  // namespace

void LogLine(LogLevel level, const std::wstring& message) {
    if (ILogSink* log = Services().log)
        log->Write(level, message);
}

void LogFailure(const std::wstring& what, LogLevel level) {
    std::wstring message = what;
    if (const std::optional<PlatformFailure> failure = TakePlatformFailure()) {
        message += L": " + failure->call + L" failed with error " + std::to_wstring(failure->code);
        if (!failure->text.empty())
            message += L" (" + failure->text + L")";
        if (failure->refused)
            ++t_loggedRefusals;
    }
    LogLine(level, message);
}

uint32_t LoggedRefusalCount() {
    return t_loggedRefusals;
}
