#include "install/run/setup_log.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "install/run/time_stamp.h"
#include "korvel_version.h"
#include "platform/clock_service.h"
#include "platform/file_store_service.h"
#include "platform/services.h"
#include "platform/system_log_service.h"
#include "platform/standin/wide_text.h"
#include "platform/thread_id.h"
#include "platform/uri_passwords.h"

namespace {

constexpr wchar_t kExtension[] = L".log";

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The message as one line: line breaks become blanks.
std::wstring OneLine(std::wstring message) {
    for (wchar_t& c : message) {
        if (c == L'\r' || c == L'\n')
            c = L' ';
    }
    return message;
}

// The message as a CMTrace field that cannot end early: the field's closing mark is broken up.
std::wstring CmTraceField(std::wstring message) {
    static const std::wstring kClosing = L"]LOG]!>";
    for (size_t at = message.find(kClosing); at != std::wstring::npos;
         at = message.find(kClosing, at + 1)) {
        message[at] = L'}';
    }
    return message;
}

// The words that journalctl and syslog's readers use for the levels.
const char* PlainLevel(LogLevel level) {
    switch (level) {
        case LogLevel::kWarning:
            return "warning";
        case LogLevel::kError:
            return "error";
        case LogLevel::kInformation:
            break;
    }
    return "info";
}

}  // namespace

CSetupLog::CSetupLog(std::wstring component, LogFormat format)
    : m_component(std::move(component)), m_format(format) {}

bool CSetupLog::Open() {
    IFileStoreService* store = Services().fileStore;
    IClockService* clock = Services().clock;
    if (store == nullptr || clock == nullptr || !store->PrepareFolder(kFolder))
        return false;
    StringList logs;
    if (store->ListFiles(kFolder, logs)) {
        logs.erase(
            std::remove_if(logs.begin(), logs.end(),
                           [](const std::wstring& name) { return !EndsWith(name, kExtension); }),
            logs.end());
        for (size_t i = 0; i + kKeptLogs - 1 < logs.size(); ++i)
            store->DeleteFile(kFolder, logs[i].c_str());
    }
    const std::wstring name = m_component + L"-" + FileTimeStamp(clock->Now()) + kExtension;
    if (!store->AppendFile(kFolder, name.c_str(), std::string()))
        return false;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_name = name;
        m_path = store->PathOf(kFolder, name.c_str());
    }
    // A log sent in with a support case tells first which release wrote it.
    Write(LogLevel::kInformation,
          L"Korvel printer setup " KORVEL_VERSION_WIDE L" (" + m_component + L")");
    return true;
}

void CSetupLog::Write(LogLevel level, const std::wstring& message) {
    std::lock_guard<std::mutex> hold(m_lock);
    // The system's log takes the line even when the file could not be made: it may then be the
    // only record of the run.
    const std::wstring masked = WithoutPasswords(message);
    if (ISystemLogService* systemLog = Services().systemLog)
        systemLog->Write(level, OneLine(masked));
    IFileStoreService* store = Services().fileStore;
    if (m_name.empty() || store == nullptr)
        return;
    IClockService* clock = Services().clock;
    const LocalTime now = clock != nullptr ? clock->Now() : LocalTime{};
    store->AppendFile(kFolder, m_name.c_str(),
                      FormatLine(m_format, level, masked, m_component, CurrentThreadId(), now));
}

std::string CSetupLog::FormatLine(LogFormat format, LogLevel level, const std::wstring& message,
                                  const std::wstring& component, uint32_t thread,
                                  const LocalTime& now) {
    if (format == LogFormat::kPlainText) {
        // Universal time, so that the lines of machines in different zones, and of one machine
        // across a change of daylight saving time, sort and compare as they happened.
        const LocalTime utc = UniversalTimeOf(now);
        char stamp[64] = {};
        std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", utc.year,
                      utc.month, utc.day, utc.hour, utc.minute, utc.second, utc.milliseconds);
        return std::string(stamp) + " " + PlainLevel(level) + " " + EncodeUtf8(component) + ": " +
               EncodeUtf8(OneLine(message)) + "\n";
    }
    // CMTrace's time field carries the time-zone bias in minutes after the milliseconds.
    char stamp[96] = {};
    std::snprintf(stamp, sizeof stamp, "time=\"%02u:%02u:%02u.%03u%+04d\" date=\"%02u-%02u-%04u\"",
                  now.hour, now.minute, now.second, now.milliseconds, now.biasMinutes, now.month,
                  now.day, now.year);
    return "<![LOG[" + EncodeUtf8(CmTraceField(OneLine(message))) + "]LOG]!><" + stamp +
           " component=\"" + EncodeUtf8(component) + "\" context=\"\" type=\"" +
           std::to_string(static_cast<int>(level)) + "\" thread=\"" + std::to_string(thread) +
           "\" file=\"\">\r\n";
}
