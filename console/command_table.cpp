#include "console/command_table.h"

#include <stdexcept>
#include <vector>

#include "console/commands/default_command.h"
#include "console/commands/detect_command.h"
#include "console/commands/install_command.h"
#include "console/commands/models_command.h"
#include "console/commands/ports_command.h"
#include "console/commands/remove_command.h"
#include "console/commands/restore_command.h"
#include "console/commands/stage_command.h"
#include "console/commands/status_command.h"
#include "console/commands/validate_command.h"
#include "console/console_program.h"

namespace {

const std::vector<ConsoleCommand>& Commands() {
    static const std::vector<ConsoleCommand> commands = {
        {L"detect", &RunDetectCommand, false, nullptr},
        {L"models", &RunModelsCommand, true, nullptr},
        {L"ports", &RunPortsCommand, false, nullptr},
        {L"install", &RunInstallCommand, false, nullptr},
        {L"stage", &RunStageCommand, false,
         L"CUPS keeps no driver store, and the install gives each queue its driver."},
        {L"default", &RunDefaultCommand, false, nullptr},
        {L"remove", &RunRemoveCommand, false, nullptr},
        {L"restore", &RunRestoreCommand, false, nullptr},
        {L"status", &RunStatusCommand, false, nullptr},
        {L"validate", &RunValidateCommand, true, nullptr},
    };
    return commands;
}

}  // namespace

const ConsoleCommand& FindConsoleCommand(const std::wstring& name) {
    for (const ConsoleCommand& command : Commands()) {
        if (name == command.name)
            return command;
    }
    throw std::out_of_range("no console command of that name");
}

bool CommandAvailable(const ConsoleCommand& command, IConsoleHost& host) {
    const std::wstring name = command.name;
    switch (host.Platform()) {
        case ConsolePlatform::kWindows:
            return true;
        case ConsolePlatform::kCups:
            if (command.whyNotOnCups == nullptr)
                return true;
            host.Err(L"The command " + name + L" needs Windows: " + command.whyNotOnCups);
            return false;
        case ConsolePlatform::kNone:
            if (command.setupDataOnly)
                return true;
            break;
    }
    host.Err(L"The command " + name + L" needs Windows, or on Linux a CUPS scheduler.");
    return false;
}
