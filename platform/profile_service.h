#pragma once

#include <cstdint>

// Reads of INI-format profile files, with the return counts of the Windows profile API.
class IProfileService {
  public:
    virtual ~IProfileService() = default;

    // Reads the value of `key` in `section` of `file` into `buffer` (`size` characters), with no
    // default value. Returns the characters stored, terminator not counted: 0 with an empty text
    // for a missing file, section or key; size - 1 with the value cut and terminated when it does
    // not fit.
    virtual uint32_t GetString(const wchar_t* section, const wchar_t* key, wchar_t* buffer,
                               uint32_t size, const wchar_t* file) = 0;

    // Reads every line of `section` of `file` into `buffer` as NUL-ended `key=value` lines with one
    // more NUL after the last. Returns the characters stored, the final NUL not counted: 0 for a
    // missing file or section; size - 2 with the last line cut when the section does not fit.
    virtual uint32_t GetSection(const wchar_t* section, wchar_t* buffer, uint32_t size,
                                const wchar_t* file) = 0;
};
