#include "platform/uri_passwords.h"

#include <algorithm>

namespace {

// Where a URI's authority ends: at its path, query or fragment, or where the text around it goes
// on (a blank, a quote, the end of a sentence in a message).
bool EndsAuthority(wchar_t c) {
    return c == L'/' || c == L'?' || c == L'#' || c == L' ' || c == L'\t' || c == L'"' ||
           c == L'\'' || c == L',' || c == L';' || c == L'\r' || c == L'\n';
}

}  // namespace

std::wstring WithoutPasswords(const std::wstring& text) {
    std::wstring out = text;
    for (size_t at = out.find(L"://"); at != std::wstring::npos; at = out.find(L"://", at + 3)) {
        const size_t start = at + 3;
        size_t end = start;
        while (end < out.size() && !EndsAuthority(out[end]))
            ++end;
        // The user information ends at the authority's last "@"; its password after its first ":".
        const size_t sign = out.rfind(L'@', end == start ? start : end - 1);
        if (sign == std::wstring::npos || sign < start)
            continue;
        const size_t colon = out.find(L':', start);
        if (colon == std::wstring::npos || colon > sign ||
            out.compare(colon + 1, sign - colon - 1, L"***") == 0)
            continue;
        out.replace(colon + 1, sign - colon - 1, L"***");
    }
    return out;
}

std::wstring UriWithoutUserInfo(const std::wstring& uri) {
    const size_t slashes = uri.find(L"://");
    if (slashes == std::wstring::npos)
        return uri;
    const size_t start = slashes + 3;
    const size_t end = std::min(uri.find_first_of(L"/?#", start), uri.size());
    const size_t sign = uri.rfind(L'@', end == start ? start : end - 1);
    if (sign == std::wstring::npos || sign < start)
        return uri;
    return uri.substr(0, start) + uri.substr(sign + 1);
}
