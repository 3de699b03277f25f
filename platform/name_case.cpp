#include "platform/name_case.h"

#include <algorithm>

namespace {

// The upper-case form of the letters that have a simple one, in the scripts printer names are
// written in: Latin (ASCII, Latin-1, full width), Greek and Cyrillic. Chinese has no case.
wchar_t Upper(wchar_t c) {
    const auto inRange = [c](unsigned first, unsigned last) {
        return static_cast<unsigned>(c) >= first && static_cast<unsigned>(c) <= last;
    };
    if (inRange(L'a', L'z') || inRange(0xE0, 0xFE) || inRange(0x3B1, 0x3C1) ||
        inRange(0x3C3, 0x3C9) || inRange(0x430, 0x44F) || inRange(0xFF41, 0xFF5A)) {
        if (c == 0xF7)  // the division sign sits among the small letters
            return c;
        return static_cast<wchar_t>(c - 0x20);
    }
    if (inRange(0x450, 0x45F))
        return static_cast<wchar_t>(c - 0x50);
    return c;
}

}  // namespace

bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return Upper(x) == Upper(y); });
}
