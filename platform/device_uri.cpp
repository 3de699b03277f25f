#include "platform/device_uri.h"

namespace {

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

}  // namespace

std::wstring UriScheme(const std::wstring& uri) {
    const size_t colon = uri.find(L':');
    if (colon == std::wstring::npos || colon == 0 || !IsAsciiLetter(uri[0]))
        return std::wstring();
    for (size_t i = 1; i < colon; ++i) {
        const wchar_t c = uri[i];
        if (!IsAsciiLetter(c) && !(c >= L'0' && c <= L'9') && c != L'+' && c != L'-' && c != L'.')
            return std::wstring();
    }
    // A device URI names a place after the scheme; "x:" alone names none.
    return colon + 1 < uri.size() ? uri.substr(0, colon) : std::wstring();
}
