#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "install/windows/inf_model_line.h"
#include "platform/native_path.h"
#include "setupdata/setup_context.h"

namespace {

constexpr size_t kChunkBytes = 1 << 20;

}  // namespace

int32_t SetupContext::FindInfHardwareId(const wchar_t* infPath, wchar_t* modelKey,
                                        uint32_t keyLength, char* hardwareId) const {
    if (infPath == nullptr || modelKey == nullptr || hardwareId == nullptr)
        return 0;
    const size_t length = std::min<size_t>(keyLength, std::wcslen(modelKey));
    InfModelLine::UpperCaseMaker(modelKey, length);
    std::string key;
    if (!InfModelLine::SearchBytes(modelKey, length, key))
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
            if (InfModelLine::IdentifierOf(at, lineLength, identifier)) {
                std::memcpy(hardwareId, identifier.c_str(), identifier.size() + 1);
                return 1;
            }
            at = lineEnd;
        }
        buffer.erase(buffer.begin(), buffer.begin() + complete);
    }
    return 0;
}
