#include "console/command_line.h"

#include <algorithm>

namespace {

struct CommandRule {
    const wchar_t* name;
    std::vector<std::wstring> valueOptions;  // each takes the next argument as its value
    std::vector<std::wstring> flagOptions;
    size_t mostArguments;
    std::vector<std::wstring> required;
};

// What every command takes besides the options every command takes (--setup-folder, --log,
// --json, --help).
const std::vector<CommandRule>& Rules() {
    static const std::vector<CommandRule> rules = {
        {L"detect", {}, {}, 0, {}},
        {L"models", {L"--series"}, {}, 0, {}},
        {L"ports", {}, {}, 0, {}},
        {L"install",
         {L"--model", L"--port", L"--port-file", L"--wait"},
         {L"--no-default", L"--test-page", L"--force", L"--dry-run"},
         0,
         {L"--model"}},
        {L"stage", {L"--model", L"--wait"}, {}, 0, {L"--model"}},
        {L"default", {L"--model", L"--wait"}, {L"--dry-run"}, 0, {L"--model"}},
        {L"remove", {L"--model", L"--wait"}, {L"--dry-run", L"--force"}, 0, {L"--model"}},
        {L"restore", {L"--wait"}, {L"--force", L"--dry-run"}, 1, {}},
        {L"status", {L"--model"}, {}, 0, {L"--model"}},
        {L"validate", {}, {L"--strict"}, 1, {}},
    };
    return rules;
}

bool Contains(const std::vector<std::wstring>& list, const std::wstring& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

std::optional<uint32_t> LockWaitSeconds(const std::wstring& text) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return std::nullopt;
    const uint32_t seconds = static_cast<uint32_t>(std::stoul(text));
    return seconds <= kMostLockWaitSeconds ? std::optional<uint32_t>(seconds) : std::nullopt;
}

uint32_t ConsoleCall::LockWaitMs() const {
    return LockWaitSeconds(Value(L"--wait")).value_or(0) * 1000;
}

bool ConsoleCall::Has(const std::wstring& flag) const {
    return Contains(flags, flag);
}

std::wstring ConsoleCall::Value(const std::wstring& option) const {
    const auto found = values.find(option);
    return found == values.end() ? std::wstring() : found->second;
}

bool ParseCommandLine(const std::vector<std::wstring>& arguments, ConsoleCall& call,
                      std::wstring& message) {
    ConsoleCall parsed;
    std::vector<std::wstring> words;  // the command and its arguments, in order
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (argument == L"--json") {
            parsed.json = true;
        } else if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
            parsed.help = true;
        } else if (argument == L"--version") {
            parsed.version = true;
        } else if (argument.rfind(L"--", 0) == 0) {
            // Checked against the command's rule once the command is known.
            const bool takesValue = argument == L"--setup-folder" || argument == L"--log" ||
                                    argument == L"--model" || argument == L"--port" ||
                                    argument == L"--port-file" || argument == L"--series" ||
                                    argument == L"--wait";
            if (!takesValue) {
                parsed.flags.push_back(argument);
                continue;
            }
            if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
                message = L"The option " + argument + L" needs a value.";
                return false;
            }
            parsed.values[argument] = arguments[++i];
        } else {
            words.push_back(argument);
        }
    }
    if (parsed.help || parsed.version) {
        if (!words.empty())
            parsed.command = words.front();
        call = parsed;
        return true;
    }
    if (words.empty()) {
        message = L"No command was given.";
        return false;
    }
    parsed.command = words.front();
    parsed.arguments.assign(words.begin() + 1, words.end());
    const auto& rules = Rules();
    const auto rule = std::find_if(rules.begin(), rules.end(),
                                   [&](const CommandRule& r) { return parsed.command == r.name; });
    if (rule == rules.end()) {
        message = L"There is no command " + parsed.command + L".";
        return false;
    }
    for (const auto& [option, value] : parsed.values) {
        if (option != L"--setup-folder" && option != L"--log" &&
            !Contains(rule->valueOptions, option)) {
            message = L"The command " + parsed.command + L" takes no option " + option + L".";
            return false;
        }
    }
    for (const std::wstring& flag : parsed.flags) {
        if (!Contains(rule->flagOptions, flag)) {
            message = L"The command " + parsed.command + L" takes no option " + flag + L".";
            return false;
        }
    }
    for (const std::wstring& option : rule->required) {
        if (parsed.values.count(option) == 0) {
            message = L"The command " + parsed.command + L" needs " + option + L".";
            return false;
        }
    }
    // --port-file gives the device URI that --port would, without it on the command line.
    if (parsed.values.count(L"--port") != 0 && parsed.values.count(L"--port-file") != 0) {
        message =
            L"The options --port and --port-file cannot be given together: give the port "
            L"once.";
        return false;
    }
    if (parsed.values.count(L"--wait") != 0 && !LockWaitSeconds(parsed.values[L"--wait"])) {
        message = L"The option --wait takes a number of seconds from 0 to " +
                  std::to_wstring(kMostLockWaitSeconds) + L".";
        return false;
    }
    if (parsed.arguments.size() > rule->mostArguments) {
        message =
            L"The command " + parsed.command + L" does not take " + parsed.arguments.back() + L".";
        return false;
    }
    call = parsed;
    return true;
}
