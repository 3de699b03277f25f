#pragma once

#include <windows.h>

#include <msi.h>

#include "msi_action/action_host.h"

// The action host over the Windows Installer API, for one call of a deferred action.
class CMsiActionHost : public IActionHost {
  public:
    explicit CMsiActionHost(MSIHANDLE install) : m_install(install) {}

    std::wstring Data() override;
    bool Run(const std::wstring& program, const std::wstring& commandLine, uint32_t& exitCode,
             uint32_t& error) override;
    void RestartAtEnd() override;
    void Log(const std::wstring& line) override;
    bool Remember(const RememberedPrinter& printer) override;
    bool Forget() override;

  private:
    MSIHANDLE m_install;
};
