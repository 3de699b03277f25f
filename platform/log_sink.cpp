#include "platform/log_sink.h"

#include "platform/services.h"

namespace {

// The innermost step under way on this thread. A plain pointer: see platform_failure.cpp for why
// a thread_local here has no destructor.
thread_local CStepFailures* t_innermostStep = nullptr;

void Write(LogLevel level, const std::wstring& message) {
    if (ILogSink* log = Services().log)
        log->Write(level, message);
}

}  // namespace

void LogLine(LogLevel level, const std::wstring& message) {
    Write(level, message);
    if (level != LogLevel::kInformation)
        CStepFailures::Note(level, message, std::nullopt);
}

void LogFailure(const std::wstring& what, LogLevel level) {
    std::wstring message = what;
    std::wstring reason = what;
    const std::optional<PlatformFailure> failure = TakePlatformFailure();
    if (failure) {
        const std::wstring call =
            failure->call + L" failed with error " + std::to_wstring(failure->code);
        message += L": " + call;
        if (!failure->text.empty())
            message += L" (" + failure->text + L")";
        // The person is given the system's words; the call and its code are the log's detail.
        reason += L": " + (failure->text.empty() ? call : failure->text);
    }
    Write(level, message);
    CStepFailures::Note(level, reason, failure);
}

CStepFailures::CStepFailures() : m_outer(t_innermostStep) {
    t_innermostStep = this;
}

CStepFailures::~CStepFailures() {
    t_innermostStep = m_outer;
}

void CStepFailures::Note(LogLevel level, const std::wstring& reason,
                         const std::optional<PlatformFailure>& failure) {
    for (CStepFailures* step = t_innermostStep; step != nullptr; step = step->m_outer) {
        step->m_refused = step->m_refused || (failure && failure->refused);
        if (level <= step->m_level)
            continue;
        step->m_level = level;
        step->m_reason = reason;
        step->m_failure = failure;
    }
}
