#include "install/run/setup_log.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "install/run/time_stamp.h"
#include "korvel_version.h"
#include "platform/clock_service.h"
#include "platform/file_store_service.h"
#include "platform/services.h"
#include "platform/standin/wide_text.h"
#include "platform/thread_id.h"
#include "platform/uri_passwords.h"

namespace {

constexpr wchar_t kExtension[] = L".log";

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The message as one line that cannot end its own field: line breaks become blanks, and the
// field's closing mark is broken up.
std::wstring OneLine(std::wstring message) {
    for (wchar_t& c : message) {
        if (c == L'\r' || c == L'\n')
            c = L' ';
    }
    static const std::wstring kClosing = L"]LOG]!>";
    for (size_t at = message.find(kClosing); at != std::wstring::npos;
         at = message.find(kClosing, at + 1)) {
        message[at] = L'}';
    }
    return message;
}

}  // namespace

CSetupLog::CSetupLog(std::wstring component) : m_component(std::move(component)) {}

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
    IFileStoreService* store = Services().fileStore;
    if (m_name.empty() || store == nullptr)
        return;
    store->AppendFile(kFolder, m_name.c_str(),
                      FormatLine(level, WithoutPasswords(message), m_component, CurrentThreadId()));
}

std::string CSetupLog::FormatLine(LogLevel level, const std::wstring& message,
                                  const std::wstring& component, uint32_t thread) {
    IClockService* clock = Services().clock;
    const LocalTime now = clock != nullptr ? clock->Now() : LocalTime{};
    // CMTrace's time field carries the time-zone bias in minutes after the milliseconds.
    char stamp[96] = {};
    std::snprintf(stamp, sizeof stamp, "time=\"%02u:%02u:%02u.%03u%+04d\" date=\"%02u-%02u-%04u\"",
                  now.hour, now.minute, now.second, now.milliseconds, now.biasMinutes, now.month,
                  now.day, now.year);
    return "<![LOG[" + EncodeUtf8(OneLine(message)) + "]LOG]!><" + stamp + " component=\"" +
           EncodeUtf8(component) + "\" context=\"\" type=\"" +
           std::to_string(static_cast<int>(level)) + "\" thread=\"" + std::to_string(thread) +
           "\" file=\"\">\r\n";
}
