#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/native_path.h"
#include "platform/win32/unique_handle.h"

std::wstring DisplayPath(const std::wstring& path) {
    return path;
}

std::FILE* OpenNativeFile(const wchar_t* path) {
    return _wfopen(path, L"rb");
}

bool ListNativeFolder(const wchar_t* folder, StringList& names) {
    if (folder == nullptr || folder[0] == L'\0')
        return false;
    std::wstring pattern = folder;
    if (pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data{};
    const HANDLE raw = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                        FindExSearchNameMatch, nullptr, 0);
    if (raw == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // Only a folder without even "." and ".." (a drive's empty root) has nothing to match.
        const DWORD attributes = GetFileAttributesW(folder);
        return error == ERROR_FILE_NOT_FOUND && attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    const UniqueFind search(raw);
    // Links (reparse points) are left out with the folders: what they point to may lie outside
    // the folder.
    const DWORD leftOut = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    StringList found;
    do {
        if ((data.dwFileAttributes & leftOut) == 0)
            found.push_back(data.cFileName);
    } while (FindNextFileW(search.get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES)
        return false;
    std::sort(found.begin(), found.end());
    names.insert(names.end(), found.begin(), found.end());
    return true;
}
