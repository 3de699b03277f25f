#pragma once

#include "platform/program_path_service.h"

// The running program's path on Linux, read from /proc/self/exe and given in the Windows form the
// setup record expects: slashes become backslashes.
class CPosixProgramPathService : public IProgramPathService {
  public:
    uint32_t GetProgramPath(wchar_t* buffer, uint32_t size) override;
};
