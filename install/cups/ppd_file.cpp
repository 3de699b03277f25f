#include "install/cups/ppd_file.h"

#include <algorithm>
#include <string>

#include "platform/native_path.h"
#include "platform/standin/wide_text.h"
#include "setupdata/setup_context.h"

namespace {

constexpr char kAdobeKeyword[] = "*PPD-Adobe:";
constexpr char kNickNameKeyword[] = "*NickName:";

// A PPD that declares *LanguageEncoding: UTF-8 writes its names in UTF-8, the others in Latin-1;
// text in Latin-1 with letters beyond ASCII is hardly ever valid UTF-8 as well, so the bytes
// themselves tell which, and the declaration need not be read.
std::wstring DecodeName(const std::string& bytes) {
    std::wstring utf8 = DecodeUtf8(bytes);
    if (EncodeUtf8(utf8) == bytes)
        return utf8;
    return DecodeLatin1(bytes);
}

bool IsPpdName(const std::wstring& name) {
    if (name.size() < 4)
        return false;
    const wchar_t* extension = name.c_str() + name.size() - 4;
    for (int i = 0; i < 4; ++i) {
        wchar_t c = extension[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c + 0x20);
        if (c != L".ppd"[i])
            return false;
    }
    return true;
}

}  // namespace

PpdFacts ReadPpdFacts(const std::string& bytes) {
    PpdFacts facts;
    facts.adobe = bytes.compare(0, sizeof(kAdobeKeyword) - 1, kAdobeKeyword) == 0;
    // Lines end with CR, LF or both; a keyword begins a line. The first *NickName is the one a
    // reader takes, so the lines after it are not looked at.
    const size_t keywordLength = sizeof(kNickNameKeyword) - 1;
    for (size_t begin = 0; begin < bytes.size();) {
        const size_t end = std::min(bytes.find_first_of("\r\n", begin), bytes.size());
        if (bytes.compare(begin, keywordLength, kNickNameKeyword) == 0) {
            // The name is the text between the quotes on this line. A quote left open would run
            // into the lines below, which are no part of a printer's name.
            const size_t open = bytes.find_first_not_of(" \t", begin + keywordLength);
            if (open < end && bytes[open] == '"') {
                const size_t close = bytes.find('"', open + 1);
                if (close < end)
                    facts.nickName = DecodeName(bytes.substr(open + 1, close - open - 1));
            }
            break;
        }
        begin = end + 1;
    }
    return facts;
}

StringList FamilyPpdFiles(const std::wstring& setupFolder, int32_t type) {
    StringList files;
    const wchar_t* inf = SetupContext::DriverInfOfType(type);
    if (inf == nullptr || setupFolder.empty())
        return files;
    // The family's folder is the one that holds its driver INF.
    const std::wstring infPath = inf;
    std::wstring folder = setupFolder;
    if (folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    folder += SetupContext::kDriverFolder + infPath.substr(0, infPath.rfind(L'\\') + 1);
    StringList names;
    if (!ListNativeFolder(folder.c_str(), names))
        return files;
    for (const std::wstring& name : names) {
        if (IsPpdName(name))
            files.push_back(folder + name);
    }
    return files;
}
