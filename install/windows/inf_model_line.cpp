#include "install/windows/inf_model_line.h"

#include <algorithm>
#include <cwchar>

namespace InfModelLine {

std::wstring KeyOf(const wchar_t* printerName) {
    return std::wstring(L"\"") + (printerName != nullptr ? printerName : L"") + L"\"";
}

void UpperCaseMaker(wchar_t* key, size_t length) {
    constexpr wchar_t kMixed[] = L"Korvel";
    constexpr wchar_t kUpper[] = L"KORVEL";
    constexpr size_t kMakerLength = 6;
    for (size_t i = 0; i + kMakerLength <= length; ++i) {
        if (std::wmemcmp(key + i, kMixed, kMakerLength) == 0) {
            std::wmemcpy(key + i, kUpper, kMakerLength);
            i += kMakerLength - 1;
        }
    }
}

bool SearchBytes(const wchar_t* key, size_t length, std::string& bytes) {
    bytes.clear();
    for (size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned long>(key[i]) > 0xFF)
            return false;
        bytes.push_back(static_cast<char>(key[i]));
    }
    // A line never holds a line feed, so a key with one begins no line.
    return !bytes.empty() && bytes.find('\n') == std::string::npos;
}

bool IdentifierOf(const char* line, size_t length, std::string& identifier) {
    const char* end = line + length;
    const char* firstComma = std::find(line, end, ',');
    if (firstComma == end || firstComma == line)
        return false;
    static const std::string kUsb = "USB";
    if (std::search(firstComma - 1, end, kUsb.begin(), kUsb.end()) == end)
        return false;
    const char* secondComma = std::find(firstComma + 1, end, ',');
    const char* idEnd = secondComma == end ? firstComma + 1 : secondComma;
    if (static_cast<size_t>(idEnd - (firstComma + 1)) >= kIdBytes)
        return false;
    identifier.assign(firstComma + 1, idEnd);
    return true;
}

}  // namespace InfModelLine
