#pragma once

#include <cstdint>

// Where the running program lies.
class IProgramPathService {
  public:
    virtual ~IProgramPathService() = default;

    // Stores the full path of the running program, in Windows form (backslash separators), into
    // `buffer` (`size` characters). Returns the characters stored, terminator not counted, or 0
    // when the path cannot be had or does not fit; `buffer` is then left untouched.
    virtual uint32_t GetProgramPath(wchar_t* buffer, uint32_t size) = 0;

    // Where an installed package keeps the setup folder, for a program whose own folder holds
    // none: a path below the parent of the program's folder, in Windows form and ending with a
    // backslash. Null where the setup folder is always the program's own.
    virtual const wchar_t* PackagedSetupFolder() const { return nullptr; }
};
