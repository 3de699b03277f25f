#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/clock_service.h"
#include "platform/launcher_service.h"
#include "platform/platform_failure.h"
#include "platform/pnp_service.h"

// Starts nothing: records each program run and each message shown, and fails on demand.
class CFakeLauncherService : public ILauncherService {
  public:
    struct Run {
        std::wstring program;
        std::wstring parameters;
        uint32_t waitMs;
    };
    struct Message {
        std::wstring text;
        std::wstring caption;
    };

    bool failStart = false;
    uint32_t startError = 0;
    bool timeOut = false;     // the program is still running when the wait ends
    bool endAtLimit = false;  // ... and is then ended, as the console's launcher ends it
    // What the started program does, such as creating the queue an install command names.
    std::function<void(const std::wstring& parameters)> onRun;

    std::vector<Run> runs;
    std::vector<Message> messages;

    LaunchResult RunSystemProgram(const wchar_t* program, const wchar_t* parameters,
                                  uint32_t waitMs, uint32_t& error) override {
        if (failStart) {
            error = startError;
            RecordPlatformFailure(L"ShellExecuteExW", startError,
                                  std::wstring(L"the fake launcher could not start ") + program);
            return LaunchResult::kNotStarted;
        }
        runs.push_back({program, parameters, waitMs});
        if (onRun)
            onRun(parameters);
        return endAtLimit ? LaunchResult::kEnded
                          : (timeOut ? LaunchResult::kTimedOut : LaunchResult::kFinished);
    }
    void ShowError(const wchar_t* text, const wchar_t* caption) override {
        messages.push_back({text, caption});
    }
};

// Records each driver update and answers as told.
class CFakePnpService : public IPnpService {
  public:
    struct Update {
        std::wstring hardwareId;
        std::wstring infPath;
    };

    bool succeed = true;
    bool restart = false;  // a successful update needs a restart
    std::vector<Update> updates;

    bool UpdateDriver(const wchar_t* hardwareId, const wchar_t* infPath) override {
        updates.push_back({hardwareId, infPath});
        return succeed;
    }
    bool RestartRequired() const override { return succeed && restart && !updates.empty(); }
};

// Records each wait instead of waiting, and tells a fixed time that moves on a millisecond each
// time it is asked.
class CFakeClockService : public IClockService {
  public:
    std::vector<uint32_t> sleeps;
    LocalTime now{2026, 12, 7, 23, 15, 1, 0, -60};

    void Sleep(uint32_t milliseconds) override { sleeps.push_back(milliseconds); }
    LocalTime Now() override {
        const LocalTime time = now;
        now.milliseconds = static_cast<uint16_t>((now.milliseconds + 1) % 1000);
        return time;
    }
};
