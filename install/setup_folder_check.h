#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One fault of a setup folder, where it is and how to mend it.
struct SetupFinding {
    std::wstring file;
    uint32_t line = 0;
    std::wstring problem;
    std::wstring fix;
};

// Every fault found in the setup folder (Windows form, ending with a backslash).
std::vector<SetupFinding> CheckSetupFolder(const std::wstring& folder);
