#include "platform/standin/posix_program_path_service.h"

#include <unistd.h>

#include <algorithm>
#include <climits>

#include "platform/standin/wide_text.h"

uint32_t CPosixProgramPathService::GetProgramPath(wchar_t* buffer, uint32_t size) {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path));
    if (length <= 0 || static_cast<size_t>(length) >= sizeof(path))
        return 0;
    std::wstring wide = DecodeUtf8(std::string(path, static_cast<size_t>(length)));
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    if (buffer == nullptr || wide.size() >= size)
        return 0;
    std::copy(wide.begin(), wide.end(), buffer);
    buffer[wide.size()] = L'\0';
    return static_cast<uint32_t>(wide.size());
}
