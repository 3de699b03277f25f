#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/clock_service.h"
#include "platform/launcher_service.h"
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
    // What the started program does, such as creating the queue an install command names.
    std::function<void(const std::wstring& parameters)> onRun;

    std::vector<Run> runs;
    std::vector<Message> messages;

    bool RunSystemProgram(const wchar_t* program, const wchar_t* parameters, uint32_t waitMs,
                          uint32_t& error) override {
        if (failStart) {
            error = startError;
            return false;
        }
        runs.push_back({program, parameters, waitMs});
        if (onRun)
            onRun(parameters);
        return true;
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
    std::vector<Update> updates;

    bool UpdateDriver(const wchar_t* hardwareId, const wchar_t* infPath) override {
        updates.push_back({hardwareId, infPath});
        return succeed;
    }
};

// Records each wait instead of waiting.
class CFakeClockService : public IClockService {
  public:
    std::vector<uint32_t> sleeps;

    void Sleep(uint32_t milliseconds) override { sleeps.push_back(milliseconds); }
};
