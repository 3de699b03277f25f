#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/standin/standin_profile_service.h"
#include "platform/win32/win32_profile_service.h"
#include "tests/support/test_files.h"

// The stand-in profile reader of the native build, held against Wine's GetPrivateProfileStringW and
// GetPrivateProfileSectionW: the same files and queries, every buffer size from 1 to the answer's
// length + 2, and the counts and the whole buffers compared, with guard cells on either side so
// that a write outside the buffer shows too.
namespace {

constexpr size_t kGuard = 4;
constexpr wchar_t kFill = 0xA5A5;

struct Query {
    const wchar_t* section;
    const wchar_t* key;  // null for a section read
};

const Query kQueries[] = {
    {L"General", L"Name"},       {L"GENERAL", L"name"},
    {L" General ", L" Name "},   {L"General", L"Quoted"},
    {L"General", L"Single"},     {L"General", L"Mismatch"},
    {L"General", L"LoneQuote"},  {L"General", L"EmptyQuotes"},
    {L"General", L"Empty"},      {L"General", L"NoEquals line"},
    {L"General", L"Indented"},   {L"General", L"DUP"},
    {L"General", L"late"},       {L"General", L";comment"},
    {L"General", L"Long"},       {L"General", L"Equals"},
    {L"General", L"Absent"},     {L"Spaced", L"inner"},
    {L"Unclosed", L"y"},         {L"Bracket]Name", L"x"},
    {L"RV系列", L"全角"},        {L"rv系列", L"RV-90"},
    {L"ÜNÏCÖDÉ", L"КЛЮЧ"},       {L"ünïcödé", L"äöü"},
    {L"Ünïcödé", L"Ключ"},       {L"Ünïcödé", L"NoBreak"},
    {L"Big", L"line59"},         {L"Missing", L"x"},
    {L"General", nullptr},       {L"general", nullptr},
    {L" General ", nullptr},     {L" Spaced ", nullptr},
    {L"Spaced", nullptr},        {L"RV系列", nullptr},
    {L"Ünïcödé", nullptr},       {L"Big", nullptr},
    {L"Empty Section", nullptr}, {L"Bracket]Name", nullptr},
    {L"Missing", nullptr},
};

const char* const kFiles[] = {"utf16le_bom.ini", "utf16be_bom.ini",   "utf8_bom.ini",
                              "ascii_crlf.ini",  "utf16le_nobom.ini", "no_such_file.ini"};

struct Answer {
    uint32_t count;
    std::vector<wchar_t> memory;  // guard, buffer, guard

    bool operator==(const Answer& other) const {
        return count == other.count && memory == other.memory;
    }

    bool GuardsIntact() const {
        const auto intact = [](auto begin, auto end) {
            return std::all_of(begin, end, [](wchar_t c) { return c == kFill; });
        };
        return intact(memory.begin(), memory.begin() + kGuard) &&
               intact(memory.end() - kGuard, memory.end());
    }

    bool SameInsideBuffer(const Answer& other) const {
        return count == other.count && std::equal(memory.begin() + kGuard, memory.end() - kGuard,
                                                  other.memory.begin() + kGuard);
    }
};

// Wine writes one character outside a 1-character buffer: a second NUL after it when the section
// is missing, a NUL before it for a found section or a value of two quotes. The stand-in answers
// the same inside the buffer and never writes outside it.
bool IsKnownDifference(const Answer& windows, const Answer& standIn) {
    return !windows.GuardsIntact() && standIn.GuardsIntact() && windows.SameInsideBuffer(standIn);
}

using Read = std::function<uint32_t(IProfileService&, wchar_t*, uint32_t)>;

Answer Ask(IProfileService& service, const Read& read, uint32_t size) {
    Answer answer{0, std::vector<wchar_t>(size + 2 * kGuard, kFill)};
    answer.count = read(service, answer.memory.data() + kGuard, size);
    return answer;
}

std::string Describe(const Answer& answer) {
    std::ostringstream out;
    out << "count " << answer.count << ", memory";
    for (wchar_t c : answer.memory) {
        if (c == kFill) {
            out << " .";
        } else {
            out << ' ' << std::hex << static_cast<unsigned>(c) << std::dec;
        }
    }
    return out.str();
}

TEST(ProfileDifferentialTest, StandInAnswersAsTheWindowsApiForEverySize) {
    CStandInProfileService standIn;
    CWin32ProfileService windows;
    size_t compared = 0;
    size_t known = 0;
    std::vector<std::string> differences;

    for (const char* name : kFiles) {
        const std::wstring file = SourcePath(std::string("tests/data/profiles/") + name);
        for (const Query& query : kQueries) {
            const Read read = [&](IProfileService& service, wchar_t* buffer, uint32_t size) {
                return query.key != nullptr
                           ? service.GetString(query.section, query.key, buffer, size, file.c_str())
                           : service.GetSection(query.section, buffer, size, file.c_str());
            };
            const uint32_t full = Ask(windows, read, 8192).count;
            for (uint32_t size = 1; size <= full + 2; ++size) {
                const Answer expected = Ask(windows, read, size);
                const Answer actual = Ask(standIn, read, size);
                ++compared;
                if (expected == actual)
                    continue;
                if (IsKnownDifference(expected, actual)) {
                    ++known;
                    continue;
                }
                std::ostringstream out;
                out << name << " [" << testing::PrintToString(std::wstring(query.section)) << "] "
                    << (query.key ? testing::PrintToString(std::wstring(query.key)) : "(section)")
                    << " size " << size << "\n  Windows:  " << Describe(expected)
                    << "\n  stand-in: " << Describe(actual);
                differences.push_back(out.str());
            }
        }
    }

    std::cout << "compared " << compared << " query and size pairs: " << differences.size()
              << " differences, " << known << " known writes of Wine outside the buffer\n";
    EXPECT_GE(compared, 500u);
    for (size_t i = 0; i < differences.size() && i < 40; ++i)
        ADD_FAILURE() << differences[i];
}

}  // namespace
