#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// One call of the console program, as its command line gives it.
struct ConsoleCall {
    std::wstring command;                         // "install"
    std::map<std::wstring, std::wstring> values;  // "--model" → "RV-630K"
    std::vector<std::wstring> flags;              // "--force"
    std::vector<std::wstring> arguments;          // what stands without an option
    bool json = false;
    bool help = false;
    bool version = false;

    bool Has(const std::wstring& flag) const;
    // --wait SECONDS in milliseconds: how long a changing command waits for another setup run
    // to release the setup lock; 0 without it.
    uint32_t LockWaitMs() const;
    // The option's value, or empty.
    std::wstring Value(const std::wstring& option) const;
};

// The longest wait for the setup lock that --wait takes: an hour, longer than any run lasts.
constexpr uint32_t kMostLockWaitSeconds = 3600;

// The seconds of a --wait value, or none when it is no whole number up to the longest wait.
std::optional<uint32_t> LockWaitSeconds(const std::wstring& text);

// Reads the arguments after the program's name. Options may stand anywhere after or before the
// command. False with a message for an unknown command or option, a missing value, or an argument
// the command does not take.
bool ParseCommandLine(const std::vector<std::wstring>& arguments, ConsoleCall& call,
                      std::wstring& message);
