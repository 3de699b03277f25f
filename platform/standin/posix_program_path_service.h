#pragma once

#include "platform/program_path_service.h"

// The running program's path on Linux, read from /proc/self/exe and given in the Windows form the
// setup record expects: slashes become backslashes. The Debian package installs the program in
// /usr/bin and its setup folder in /usr/share/korvel-setup, as the file system hierarchy places
// programs and their read-only data; the setup folder is looked for there by the same relation,
// so that the package works wherever its tree is unpacked.
class CPosixProgramPathService : public IProgramPathService {
  public:
    uint32_t GetProgramPath(wchar_t* buffer, uint32_t size) override;
    const wchar_t* PackagedSetupFolder() const override { return L"share\\korvel-setup\\"; }
};
