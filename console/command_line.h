#pragma once

#include <map>
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
    // The option's value, or empty.
    std::wstring Value(const std::wstring& option) const;
};

// Reads the arguments after the program's name. Options may stand anywhere after or before the
// command. False with a message for an unknown command or option, a missing value, or an argument
// the command does not take.
bool ParseCommandLine(const std::vector<std::wstring>& arguments, ConsoleCall& call,
                      std::wstring& message);
