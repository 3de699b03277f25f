#pragma once

#include <string>

#include "platform/profile_service.h"

// The profile service of the native build: reads the file afresh on every call and answers from a
// CProfileDocument. File names are taken in Windows form; see PosixPathFromWindows.
class CStandInProfileService : public IProfileService {
  public:
    uint32_t GetString(const wchar_t* section, const wchar_t* key, wchar_t* buffer, uint32_t size,
                       const wchar_t* file) override;
    uint32_t GetSection(const wchar_t* section, wchar_t* buffer, uint32_t size,
                        const wchar_t* file) override;
};

// Maps a Windows-form path to the file system the program runs on: backslashes become slashes and
// a leading drive letter ("Z:") names the root, as Wine maps its Z: drive. A path that is already
// in POSIX form passes through.
std::string PosixPathFromWindows(const std::wstring& path);
