#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/standin/wide_text.h"
#include "setupdata/setup_context.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/temp_file.h"

// The input is a model key (its first line, read as UTF-8) and a driver INF (the rest, as the
// bytes of the file). The reader's answer is held against a plain line-by-line reading of the
// rules it documents.
namespace {

constexpr size_t kIdBytes = 1024;

// The key as the INF writes it: the maker's name upper-cased, one byte a character. False when no
// line can begin with it.
bool SearchKey(const std::wstring& modelKey, std::string& key) {
    std::wstring upper = modelKey.substr(0, modelKey.find(L'\0'));
    for (size_t at = upper.find(L"Korvel"); at != std::wstring::npos;
         at = upper.find(L"Korvel", at + 6)) {
        upper.replace(at, 6, L"KORVEL");
    }
    for (wchar_t c : upper) {
        if (static_cast<unsigned long>(c) > 0xFF)
            return false;
        key.push_back(static_cast<char>(c));
    }
    return !key.empty() && key.find('\n') == std::string::npos;
}

// The identifier of the first line that begins with the key and names USB from the character
// before its first comma on: the text between its first two commas.
bool FirstUsbModelLine(const std::string& inf, const std::string& key, std::string& id) {
    for (size_t begin = 0; begin < inf.size();) {
        const size_t end = std::min(inf.find('\n', begin), inf.size());
        std::string line = inf.substr(begin, end - begin);
        begin = end + 1;
        if (line.compare(0, key.size(), key) != 0)
            continue;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t comma = line.find(',');
        if (comma == std::string::npos || comma == 0 ||
            line.find("USB", comma - 1) == std::string::npos) {
            continue;
        }
        const size_t second = line.find(',', comma + 1);
        id = second == std::string::npos ? "" : line.substr(comma + 1, second - comma - 1);
        if (id.size() < kIdBytes)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    if (newline == std::string::npos)
        return 0;
    const std::wstring modelKey = DecodeUtf8(input.substr(0, newline));
    const std::string inf = input.substr(newline + 1);
    static const CFuzzTempFile file("model.inf");
    const std::wstring& path = file.Write(inf);

    // The identifier buffer is exactly as large as the reader takes it to be.
    std::unique_ptr<char[]> id(new char[kIdBytes]);
    std::memset(id.get(), '#', kIdBytes);
    std::wstring keyBuffer = modelKey;
    const SetupContext context;
    const int32_t found = context.FindInfHardwareId(
        path.c_str(), keyBuffer.data(), static_cast<uint32_t>(keyBuffer.size()), id.get());

    std::string key;
    std::string expected;
    const bool expectFound = SearchKey(modelKey, key) && FirstUsbModelLine(inf, key, expected);
    FUZZ_CHECK(found == (expectFound ? 1 : 0));
    if (found == 1) {
        FUZZ_CHECK(std::memcmp(id.get(), expected.c_str(), expected.size() + 1) == 0);
    } else {
        FUZZ_CHECK(id[0] == '#');
    }
    return 0;
}
