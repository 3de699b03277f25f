#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "platform/profile_service.h"
#include "platform/services.h"
#include "platform/standin/profile_document.h"
#include "platform/standin/standin_profile_service.h"
#include "setupdata/setup_context.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/temp_file.h"

// The input is the bytes of a profile file. Sections of a few names are read whole and at every
// buffer size up to their length, and so is every key they list; each answer is held to the rules
// of IProfileService. The setup record's reads over the same file are held to theirs.
namespace {

// The sections looked for: ASCII in two cases, and the series whose models the setup record
// checks a detected printer against.
const wchar_t* const kSections[] = {L"S", L"s", L"RV系列"};
// Keys looked for besides those a section lists; blanks around a key name are not part of it.
const wchar_t* const kExtraKeys[] = {L"K", L" k "};
constexpr size_t kKeysPerSection = 16;

// Answers from one parsed document whatever the file name, so that the setup record's reads need
// no file read for each.
class CDocumentProfileService : public IProfileService {
  public:
    explicit CDocumentProfileService(const CProfileDocument& document) : m_document(document) {}

    uint32_t GetString(const wchar_t* section, const wchar_t* key, wchar_t* buffer, uint32_t size,
                       const wchar_t*) override {
        return m_document.GetString(section, key, buffer, size);
    }
    uint32_t GetSection(const wchar_t* section, wchar_t* buffer, uint32_t size,
                        const wchar_t*) override {
        return m_document.GetSection(section, buffer, size);
    }

  private:
    const CProfileDocument& m_document;
};

struct Answer {
    uint32_t count;
    std::wstring buffer;  // the whole buffer after the read
};

// A read into a heap buffer of exactly `size` characters, so that AddressSanitizer reports a
// write past either end of it.
template <typename Read>
Answer Ask(uint32_t size, const Read& read) {
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[size]);
    std::fill_n(buffer.get(), size, static_cast<wchar_t>(0xA5A5));
    const uint32_t count = read(buffer.get(), size);
    return {count, std::wstring(buffer.get(), size)};
}

void CheckString(IProfileService& profile, const SetupContext& context, const wchar_t* section,
                 const wchar_t* key, uint32_t largest) {
    const auto read = [&](wchar_t* buffer, uint32_t size) {
        return profile.GetString(section, key, buffer, size, L"");
    };
    const Answer whole = Ask(largest, read);
    const uint32_t length = whole.count;
    FUZZ_CHECK(length + 2 <= largest);
    const std::wstring value = whole.buffer.substr(0, length);
    FUZZ_CHECK(value.find(L'\0') == std::wstring::npos && whole.buffer[length] == L'\0');

    // The counts change at the smallest sizes and around the value's length; the sizes between
    // give nothing those do not.
    std::set<uint32_t> sizes{1, 2, 3};
    for (uint32_t size = length > 2 ? length - 2 : 1; size <= length + 2; ++size)
        sizes.insert(size);
    for (const uint32_t size : sizes) {
        // A value that fits comes back whole; one that does not is cut to size - 1 characters,
        // except that a quoted value one character too long comes back as size - 2.
        const Answer cut = Ask(size, read);
        FUZZ_CHECK(cut.count < size && cut.buffer[cut.count] == L'\0');
        FUZZ_CHECK(cut.buffer.compare(0, cut.count, value, 0, cut.count) == 0);
        if (size >= length + 2) {
            FUZZ_CHECK(cut.count == length);
        } else if (size == length + 1) {
            FUZZ_CHECK(cut.count == length || cut.count == size - 2);
        } else {
            FUZZ_CHECK(cut.count == size - 1);
        }

        // The setup record takes a value only when it came back whole and did not fill the
        // buffer; otherwise the buffer keeps what the profile API stored.
        std::unique_ptr<wchar_t[]> out(new wchar_t[size]);
        const int32_t taken = context.ReadProfileString(section, key, L"", out.get(), size);
        FUZZ_CHECK(taken == (length >= 1 && length + 2 <= size ? 1 : 0));
        FUZZ_CHECK(std::wstring(out.get()) == (taken == 1 ? value : cut.buffer.c_str()));
    }
}

// Checks the section's reads and returns its lines.
StringList CheckSection(IProfileService& profile, const wchar_t* section, uint32_t largest) {
    const auto read = [&](wchar_t* buffer, uint32_t size) {
        return profile.GetSection(section, buffer, size, L"");
    };
    const Answer whole = Ask(largest, read);
    const uint32_t length = whole.count;
    FUZZ_CHECK(length + 2 <= largest);
    // NUL-ended lines, none of them empty (an empty one would end the list), then one more NUL.
    const std::wstring lines = whole.buffer.substr(0, length + 1);
    if (length == 0) {
        FUZZ_CHECK(lines[0] == L'\0');
    } else {
        FUZZ_CHECK(lines[0] != L'\0' && lines.find(std::wstring(2, L'\0')) == length - 1);
    }

    for (uint32_t size = 1; size <= length + 2; ++size) {
        const Answer cut = Ask(size, read);
        if (size == 1) {
            // Nothing fits; a section that is there is reported as size - 2 all the same.
            FUZZ_CHECK(cut.buffer[0] == L'\0' && (cut.count == 0 || cut.count == UINT32_MAX));
            if (length > 0)
                FUZZ_CHECK(cut.count == UINT32_MAX);
        } else if (size >= length + 2) {
            FUZZ_CHECK(cut.count == length && cut.buffer.compare(0, length + 1, lines) == 0);
        } else {
            // The lines that fitted, the last one cut, and the list still ended by two NULs.
            FUZZ_CHECK(cut.count == size - 2);
            FUZZ_CHECK(cut.buffer.compare(0, cut.count, lines, 0, cut.count) == 0);
            FUZZ_CHECK(cut.buffer[cut.count] == L'\0');
            FUZZ_CHECK(cut.count == 0 || cut.buffer[cut.count - 1] == L'\0' ||
                       cut.buffer[cut.count + 1] == L'\0');
        }
    }

    StringList list;
    for (size_t begin = 0; begin < length; begin = lines.find(L'\0', begin) + 1)
        list.push_back(lines.c_str() + begin);
    return list;
}

// The setup record lists the lines of a section that fits its buffer, each whole, none empty.
void CheckModelList(const SetupContext& context, const wchar_t* section, const StringList& lines) {
    StringList expected;
    for (const std::wstring& line : lines) {
        if (!line.empty() && line.size() < SetupContext::kLineWidth)
            expected.push_back(line);
    }
    uint32_t length = 0;
    for (const std::wstring& line : lines)
        length += static_cast<uint32_t>(line.size()) + 1;
    StringList listed;
    const int32_t found = context.ListSeriesModels(section, listed);
    if (length == 0 || length + 2 >= SetupContext::kSectionWidth) {
        FUZZ_CHECK(found == 0 && listed.empty());
    } else {
        FUZZ_CHECK(found == 1 && listed == expected);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const CProfileDocument document = CProfileDocument::Parse(bytes);
    CDocumentProfileService profile(document);
    const CScopedServices services{{&profile}};
    const SetupContext context;
    // No value or section is longer than the file has characters, and it has no more characters
    // than bytes.
    const uint32_t largest = static_cast<uint32_t>(size) + 4;

    for (const wchar_t* section : kSections) {
        const StringList lines = CheckSection(profile, section, largest);
        CheckModelList(context, section, lines);
        for (size_t i = 0; i < lines.size() && i < kKeysPerSection; ++i) {
            const std::wstring key = lines[i].substr(0, lines[i].find(L'='));
            // An empty key name is answered with 0 and the buffer untouched.
            if (!key.empty())
                CheckString(profile, context, section, key.c_str(), largest);
        }
        for (const wchar_t* key : kExtraKeys)
            CheckString(profile, context, section, key, largest);
    }
    // No line is empty, so no detected printer without a model passes for a supported one.
    FUZZ_CHECK(context.IsSupportedModel(L"") == 0);

    // The service over the file answers as the document over its bytes.
    static const CFuzzTempFile file("profile.ini");
    const std::wstring& name = file.Write(bytes);
    CStandInProfileService service;
    for (const wchar_t* section : kSections) {
        const auto fromDocument = [&](wchar_t* buffer, uint32_t bufferSize) {
            return document.GetSection(section, buffer, bufferSize);
        };
        const auto fromFile = [&](wchar_t* buffer, uint32_t bufferSize) {
            return service.GetSection(section, buffer, bufferSize, name.c_str());
        };
        const Answer expected = Ask(largest, fromDocument);
        const Answer actual = Ask(largest, fromFile);
        FUZZ_CHECK(actual.count == expected.count && actual.buffer == expected.buffer);
    }
    return 0;
}
