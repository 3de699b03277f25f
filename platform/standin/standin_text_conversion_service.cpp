#include "platform/standin/standin_text_conversion_service.h"

std::wstring CStandInTextConversionService::AnsiToWide(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (const char byte : text)
        wide.push_back(static_cast<unsigned char>(byte));
    return wide;
}
