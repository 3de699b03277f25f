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
};
