#include "install/check/info_file_reading.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/native_path.h"
#include "platform/standin/profile_document.h"

std::wstring WhyInfoFileCannotBeRead(const wchar_t* path) {
    std::string bytes;
    if (!ReadNativeFile(path, bytes))
        return L"it cannot be read (a folder, or no access).";
    if (bytes.empty())
        return L"it is empty.";
    const CProfileDocument::Encoding encoding = CProfileDocument::EncodingOf(bytes);
    const bool utf16 = encoding == CProfileDocument::Encoding::kUtf16Le ||
                       encoding == CProfileDocument::Encoding::kUtf16Be;
    if (utf16 && bytes.size() % 2 != 0)
        return L"it is cut short: UTF-16 text of an odd number of bytes.";
    // A NUL byte is UTF-16 text that lost its byte order mark or is under another one.
    if (!utf16 && bytes.find('\0') != std::string::npos)
        return L"it holds NUL bytes, which are UTF-16 text without the byte order mark of "
               L"UTF-16LE.";
    const CProfileDocument document = CProfileDocument::Parse(bytes);
    const std::vector<CProfileDocument::Section>& sections = document.Sections();
    if (std::none_of(
            sections.begin(), sections.end(),
            [](const CProfileDocument::Section& section) { return !section.name.empty(); }))
        return L"it holds no section; save it as UTF-16LE with a byte order mark.";
    return std::wstring();
}
