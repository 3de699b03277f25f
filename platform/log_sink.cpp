#include "platform/log_sink.h"

#include "platform/platform_failure.h"
#include "platform/services.h"

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
    }
    LogLine(level, message);
}
