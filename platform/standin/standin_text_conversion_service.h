#pragma once

#include "platform/text_conversion_service.h"

// ANSI text on a platform without code pages: each byte is one character (ISO 8859-1), which is
// what Windows gives for the ASCII text that device IDs and driver files hold.
class CStandInTextConversionService : public ITextConversionService {
  public:
    std::wstring AnsiToWide(const std::string& text) override;
};
