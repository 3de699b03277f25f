#include <cwchar>
#include <memory>

#include "platform/profile_service.h"
#include "platform/services.h"
#include "setupdata/setup_context.h"

int32_t SetupContext::ReadProfileString(const wchar_t* section, const wchar_t* key,
                                        const wchar_t* file, wchar_t* buffer, uint32_t size) const {
    IProfileService* profile = Services().profile;
    if (profile == nullptr || buffer == nullptr || size == 0)
        return 0;
    const uint32_t n = profile->GetString(section, key, buffer, size, file);
    // The profile API cuts a value that does not fit to size - 1 characters, so that count cannot
    // be told from a cut value and is a failure.
    if (n == 0 || n == size - 1)
        return 0;
    if (n != size - 2)
        return 1;
    // A quoted value one character too long also comes back as size - 2, its last character
    // cut. Reading it again with one more character of room tells the two apart: a value that
    // fitted comes back the same, a cut one longer. The caller's buffer keeps the first read.
    auto larger = std::make_unique<wchar_t[]>(size + 1);
    return profile->GetString(section, key, larger.get(), size + 1, file) == n ? 1 : 0;
}

int32_t SetupContext::ReadProfileSection(const wchar_t* section, const wchar_t* file,
                                         wchar_t* buffer, uint32_t size) const {
    IProfileService* profile = Services().profile;
    if (profile == nullptr || buffer == nullptr || size < 2)
        return 0;
    const uint32_t n = profile->GetSection(section, buffer, size, file);
    // A section that does not fit is reported as size - 2.
    if (n == 0 || n >= size - 2)
        return 0;
    return static_cast<int32_t>(n);
}

int32_t SetupContext::GetPrinterType(const wchar_t* name) const {
    wchar_t value[kTypeValueWidth] = {};
    if (ReadProfileString(kTypeSection, name, printerInfoPath, value, kTypeValueWidth) == 0) {
        return -1;
    }
    return TypeOfValue(value);
}

int32_t SetupContext::TypeOfValue(const wchar_t* value) {
    if (value != nullptr && std::wcscmp(value, L"24") == 0)
        return kType24Pin;
    if (value != nullptr && std::wcscmp(value, L"9") == 0)
        return kType9Pin;
    return -1;
}

int32_t SetupContext::LookUpPrinterName(const wchar_t* key, wchar_t* out, uint32_t size) const {
    return ReadProfileString(kNameSection, key, printerInfoPath, out, size);
}
