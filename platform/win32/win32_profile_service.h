#pragma once

#include "platform/profile_service.h"

// The Windows profile API itself.
class CWin32ProfileService : public IProfileService {
  public:
    uint32_t GetString(const wchar_t* section, const wchar_t* key, wchar_t* buffer, uint32_t size,
                       const wchar_t* file) override;
    uint32_t GetSection(const wchar_t* section, wchar_t* buffer, uint32_t size,
                        const wchar_t* file) override;
};
