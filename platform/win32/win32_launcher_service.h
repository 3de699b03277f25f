#pragma once

#include "platform/launcher_service.h"

// Programs of the system directory through ShellExecuteExW, and errors through MessageBoxW.
class CWin32LauncherService : public ILauncherService {
  public:
    LaunchResult RunSystemProgram(const wchar_t* program, const wchar_t* parameters,
                                  uint32_t waitMs, uint32_t& error) override;
    void ShowError(const wchar_t* text, const wchar_t* caption) override;
};
