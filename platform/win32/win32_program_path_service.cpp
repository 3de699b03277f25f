#include "platform/win32/win32_program_path_service.h"

#include <windows.h>

#include <algorithm>
#include <vector>

uint32_t CWin32ProgramPathService::GetProgramPath(wchar_t* buffer, uint32_t size) {
    if (buffer == nullptr || size == 0)
        return 0;
    // A path that fills the buffer was cut; reading into a buffer of our own keeps the caller's
    // untouched in that case.
    std::vector<wchar_t> path(size);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), size);
    if (length == 0 || length >= size)
        return 0;
    std::copy_n(path.data(), length + 1, buffer);
    return length;
}
