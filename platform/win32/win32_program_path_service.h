#pragma once

#include "platform/program_path_service.h"

// The running program's path from GetModuleFileNameW.
class CWin32ProgramPathService : public IProgramPathService {
  public:
    uint32_t GetProgramPath(wchar_t* buffer, uint32_t size) override;
};
