#include <cstdio>

#include "platform/native_path.h"

std::FILE* OpenNativeFile(const wchar_t* path) {
    return _wfopen(path, L"rb");
}

std::FILE* OpenNativeFileToAppend(const wchar_t* path) {
    return _wfopen(path, L"ab");
}
