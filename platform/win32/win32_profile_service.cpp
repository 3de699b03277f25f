#include "platform/win32/win32_profile_service.h"

#include <windows.h>

uint32_t CWin32ProfileService::GetString(const wchar_t* section, const wchar_t* key,
                                         wchar_t* buffer, uint32_t size, const wchar_t* file) {
    return GetPrivateProfileStringW(section, key, nullptr, buffer, size, file);
}

uint32_t CWin32ProfileService::GetSection(const wchar_t* section, wchar_t* buffer, uint32_t size,
                                          const wchar_t* file) {
    return GetPrivateProfileSectionW(section, buffer, size, file);
}
