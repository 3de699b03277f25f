#pragma once

#include <mutex>
#include <string>

#include "platform/clock_service.h"
#include "platform/log_format.h"
#include "platform/log_sink.h"

// The log of one setup run, for a support engineer to read after the fact: a file of its own in
// the program's "Logs" folder, of which the last ten are kept. Lines are UTF-8 in the format
// that the system's administrators read (LogFormat): CMTrace on Windows, plain lines in universal
// time on Linux. Where the system's log is installed (Services().systemLog) every line goes there
// too. A log that cannot be written costs the run nothing but its log.
class CSetupLog : public ILogSink {
  public:
    // `component` names the program in every line.
    explicit CSetupLog(std::wstring component, LogFormat format = kNativeLogFormat);

    // Makes the run's file, removing the oldest so that ten are left, and writes the release and
    // the component as its first line. False when there is no file store or it refuses; lines
    // are then dropped.
    bool Open();
    // The full path of the run's file, and its name in the folder; empty before Open succeeded.
    const std::wstring& Path() const { return m_path; }
    const std::wstring& Name() const { return m_name; }

    void Write(LogLevel level, const std::wstring& message) override;

    // One line as it stands in the file, line end included, written at `now`.
    static std::string FormatLine(LogFormat format, LogLevel level, const std::wstring& message,
                                  const std::wstring& component, uint32_t thread,
                                  const LocalTime& now);

    static constexpr wchar_t kFolder[] = L"Logs";
    static constexpr size_t kKeptLogs = 10;

  private:
    std::wstring m_component;
    LogFormat m_format;
    std::wstring m_name;
    std::wstring m_path;
    std::mutex m_lock;
};
