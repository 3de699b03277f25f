#pragma once

#include "platform/text_conversion_service.h"

// ANSI text to wide text with MultiByteToWideChar in the calling thread's ANSI code page.
class CWin32TextConversionService : public ITextConversionService {
  public:
    std::wstring AnsiToWide(const std::string& text) override;
};
