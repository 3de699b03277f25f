#include "platform/win32/win32_text_conversion_service.h"

#include <windows.h>

#include <climits>

std::wstring CWin32TextConversionService::AnsiToWide(const std::string& text) {
    // MultiByteToWideChar fails on an empty input rather than returning 0 characters.
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int inputLength = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), inputLength, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), inputLength, wide.data(), length) !=
        length)
        return {};
    return wide;
}
