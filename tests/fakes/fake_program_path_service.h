#pragma once

#include <algorithm>
#include <string>

#include "platform/program_path_service.h"

// Hands out a path chosen by the test, or fails like a platform that cannot tell the path.
class CFakeProgramPathService : public IProgramPathService {
  public:
    std::wstring path;
    bool fail = false;
    const wchar_t* packagedFolder = nullptr;

    uint32_t GetProgramPath(wchar_t* buffer, uint32_t size) override {
        if (fail || buffer == nullptr || path.size() >= size)
            return 0;
        std::copy(path.begin(), path.end(), buffer);
        buffer[path.size()] = L'\0';
        return static_cast<uint32_t>(path.size());
    }
    const wchar_t* PackagedSetupFolder() const override { return packagedFolder; }
};
