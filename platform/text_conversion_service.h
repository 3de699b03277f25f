#pragma once

#include <string>

// Conversion of 8-bit text from devices and driver files.
class ITextConversionService {
  public:
    virtual ~ITextConversionService() = default;

    // Converts text in the calling thread's ANSI code page to wide text.
    virtual std::wstring AnsiToWide(const std::string& text) = 0;
};
