#include "platform/standin/standin_text_conversion_service.h"

#include "platform/standin/wide_text.h"

std::wstring CStandInTextConversionService::AnsiToWide(const std::string& text) {
    return DecodeLatin1(text);
}
