#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/native_path.h"
#include "setupdata/setup_context.h"

namespace {

constexpr size_t kIdBytes = 1024;
constexpr size_t kChunkBytes = 1 << 20;

// The maker's name as the driver INF writes it in its model lines.
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

// The identifier of a model line that begins with the key: the text between its first two commas
// (empty without a second one), when "USB" stands anywhere from the character before the first
// comma on. False when the line is not accepted.
bool IdentifierOf(const char* line, size_t length, std::string& identifier) {
    const char* end = line + length;
    const char* firstComma = std::find(line, end, ',');
    if (firstComma == end || firstComma == line)
        return false;
    static const std::string kUsb = "USB";
    if (std::search(firstComma - 1, end, kUsb.begin(), kUsb.end()) == end)
        return false;
    const char* secondComma = std::find(firstComma + 1, end, ',');
    identifier.assign(firstComma + 1, secondComma == end ? firstComma + 1 : secondComma);
    return true;
}

}  // namespace

int32_t SetupContext::FindInfHardwareId(const wchar_t* infPath, wchar_t* modelKey,
                                        uint32_t keyLength, char* hardwareId) const {
    if (infPath == nullptr || modelKey == nullptr || hardwareId == nullptr)
        return 0;
    const size_t length = std::min<size_t>(keyLength, std::wcslen(modelKey));
    UpperCaseMaker(modelKey, length);

    // The file is 8-bit text, one character a byte, so a key character beyond 8 bits matches no
    // line.
    std::string key;
    for (size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned long>(modelKey[i]) > 0xFF)
            return 0;
        key.push_back(static_cast<char>(modelKey[i]));
    }
    // A line never holds a line feed, so a key with one begins no line.
    if (key.empty() || key.find('\n') != std::string::npos)
        return 0;

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenNativeFile(infPath), &std::fclose);
    if (!file)
        return 0;

    // Whole lines are searched for the key with a fast string search, as grep does, rather than
    // compared one by one: the INF is read once, front to back, in large chunks.
    const std::boyer_moore_horspool_searcher searcher(key.begin(), key.end());
    std::vector<char> buffer;
    std::vector<char> chunk(kChunkBytes);
    bool atEnd = false;
    while (!atEnd) {
        const size_t read = std::fread(chunk.data(), 1, chunk.size(), file.get());
        atEnd = read < chunk.size();
        buffer.insert(buffer.end(), chunk.begin(), chunk.begin() + read);
        // Lines complete so far: up to the last LF, or everything at the end of the file.
        size_t complete = buffer.size();
        if (!atEnd) {
            const auto lastNewline = std::find(buffer.rbegin(), buffer.rend(), '\n');
            if (lastNewline == buffer.rend())
                continue;
            complete = buffer.size() - (lastNewline - buffer.rbegin());
        }
        const char* begin = buffer.data();
        const char* end = begin + complete;
        for (const char* at = std::search(begin, end, searcher); at != end;
             at = std::search(at, end, searcher)) {
            if (at != begin && at[-1] != '\n') {
                ++at;  // not in the first column
                continue;
            }
            const char* lineEnd = std::find(at, end, '\n');
            size_t lineLength = lineEnd - at;
            if (lineLength > 0 && at[lineLength - 1] == '\r')
                --lineLength;
            std::string identifier;
            if (IdentifierOf(at, lineLength, identifier) && identifier.size() < kIdBytes) {
                std::memcpy(hardwareId, identifier.c_str(), identifier.size() + 1);
                return 1;
            }
            at = lineEnd;
        }
        buffer.erase(buffer.begin(), buffer.begin() + complete);
    }
    return 0;
}
