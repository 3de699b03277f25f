#include "platform/native_path.h"
#include "platform/standin/standin_profile_service.h"

std::FILE* OpenNativeFile(const wchar_t* path) {
    return std::fopen(PosixPathFromWindows(path).c_str(), "rb");
}

std::FILE* OpenNativeFileToAppend(const wchar_t* path) {
    return std::fopen(PosixPathFromWindows(path).c_str(), "ab");
}
