#include "platform/uri_passwords.h"

#include <algorithm>

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool IsQuote(wchar_t c) {
    return c == L'"' || c == L'\'';
}

// Masks the password of the user information in text[start, end), an authority: the user
// information runs to the authority's last "@", its password from its first ":". Returns where
// the authority now ends.
size_t MaskAuthority(std::wstring& text, size_t start, size_t end) {
    const size_t sign = end == start ? std::wstring::npos : text.rfind(L'@', end - 1);
    if (sign == std::wstring::npos || sign < start)
        return end;
    const size_t colon = text.find(L':', start);
    if (colon == std::wstring::npos || colon > sign ||
        text.compare(colon + 1, sign - colon - 1, L"***") == 0)
        return end;
    text.replace(colon + 1, sign - colon - 1, L"***");
    return end - (sign - colon - 1) + 3;
}

// Whether an "@" comes after `from` before the next blank or quote: only then is a ";", ",",
// quote or apostrophe part of a user information rather than the text around a URI.
bool SignFollows(const std::wstring& text, size_t from) {
    for (size_t i = from; i < text.size() && !IsBlank(text[i]) && !IsQuote(text[i]); ++i) {
        if (text[i] == L'@')
            return true;
    }
    return false;
}

}  // namespace

std::wstring UriWithoutPassword(const std::wstring& uri) {
    std::wstring out = uri;
    const size_t slashes = out.find(L"://");
    if (slashes == std::wstring::npos)
        return out;
    const size_t start = slashes + 3;
    MaskAuthority(out, start, std::min(out.find_first_of(L"/?#", start), out.size()));
    return out;
}

std::wstring WithoutPasswords(const std::wstring& text) {
    std::wstring out = text;
    for (size_t at = out.find(L"://"); at != std::wstring::npos; at = out.find(L"://", at + 3)) {
        const size_t start = at + 3;
        size_t end = start;
        while (end < out.size() && out[end] != L'/' && out[end] != L'?' && out[end] != L'#' &&
               !IsBlank(out[end])) {
            const wchar_t c = out[end];
            const bool aside = c == L';' || c == L',' || IsQuote(c);
            if (aside && !SignFollows(out, end + 1))
                break;
            ++end;
        }
        at = MaskAuthority(out, start, end) - 3;
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
