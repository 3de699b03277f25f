#include "setupdata/bounded_text.h"

#include <algorithm>
#include <cwchar>

bool CopyText(wchar_t* dest, uint32_t width, const wchar_t* text) {
    if (dest == nullptr || width == 0)
        return false;
    const size_t length = text == nullptr ? 0 : std::wcslen(text);
    if (length >= width) {
        dest[0] = L'\0';
        return false;
    }
    std::copy_n(text, length, dest);
    dest[length] = L'\0';
    return true;
}

void ClearText(wchar_t* dest, uint32_t width) {
    std::fill_n(dest, width, L'\0');
}
