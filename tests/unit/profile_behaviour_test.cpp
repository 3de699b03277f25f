#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "tests/support/test_files.h"

// How the profile files of the setup data are read, as Windows reads them. On Linux this runs
// against the stand-in, under Wine against the Windows API, so both are held to the same answers.
namespace {

class ProfileBehaviourTest : public ::testing::Test {
  protected:
    std::wstring File(const char* name) {
        return SourcePath(std::string("tests/data/profiles/") + name);
    }

    std::wstring String(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                        uint32_t size = 512, uint32_t* count = nullptr) {
        std::wstring buffer(size, L'#');
        const uint32_t n = profile->GetString(section, key, buffer.data(), size, file.c_str());
        if (count != nullptr)
            *count = n;
        return buffer.substr(0, buffer.find(L'\0'));
    }

    std::wstring Section(const std::wstring& file, const wchar_t* section, uint32_t size,
                         uint32_t* count) {
        std::wstring buffer(size, L'#');
        *count = profile->GetSection(section, buffer.data(), size, file.c_str());
        return buffer.substr(0, *count);
    }

    std::unique_ptr<IProfileService> profile = MakePlatformProfileService();
};

TEST_F(ProfileBehaviourTest, EveryEncodingWithAMarkReadsTheSameText) {
    for (const char* name : {"utf16le_bom.ini", "utf16be_bom.ini", "utf8_bom.ini"}) {
        SCOPED_TRACE(name);
        const std::wstring file = File(name);
        EXPECT_EQ(String(file, L"Ünïcödé", L"Ключ"), L"Значение");
        EXPECT_EQ(String(file, L"RV系列", L"\u3000全角\u3000"),
                  L"\u3000ideographic\u3000blanks\u3000");
        EXPECT_EQ(String(file, L"general", L"NAME"), L"Korvel");
    }
    EXPECT_EQ(String(File("ascii_crlf.ini"), L"General", L"Name"), L"Korvel");
    // Without a mark UTF-16 is taken for 8-bit text, in which no section name is found.
    EXPECT_EQ(String(File("utf16le_nobom.ini"), L"General", L"Name"), L"");
}

TEST_F(ProfileBehaviourTest, ValuesAreTrimmedUnquotedAndTheFirstOfDuplicatesWins) {
    const std::wstring file = File("utf16le_bom.ini");
    EXPECT_EQ(String(file, L"General", L"Quoted"), L"quoted value");
    EXPECT_EQ(String(file, L"General", L"Single"), L"single");
    EXPECT_EQ(String(file, L"General", L"Mismatch"), L"\"open only");
    EXPECT_EQ(String(file, L"General", L"LoneQuote"), L"\"");
    EXPECT_EQ(String(file, L"General", L"EmptyQuotes"), L"");
    EXPECT_EQ(String(file, L"General", L"  Indented "), L"value with  inner  blanks");
    EXPECT_EQ(String(file, L"General", L"dup"), L"first");
    EXPECT_EQ(String(file, L"General", L"Equals"), L"a=b=c");
    // The second section of the same name is never searched.
    EXPECT_EQ(String(file, L"General", L"late"), L"");
    EXPECT_EQ(String(file, L"General", L"NoEquals line"), L"");
    EXPECT_EQ(String(file, L"Spaced", L"inner"), L"blank names");
    EXPECT_EQ(String(file, L" Spaced ", L"inner"), L"blank names");
    EXPECT_EQ(String(L"Z:\\no\\such\\file.ini", L"General", L"Name"), L"");
}

TEST_F(ProfileBehaviourTest, OnlyAsciiLettersAndBlanksAreFolded) {
    const std::wstring file = File("utf16le_bom.ini");
    EXPECT_EQ(String(file, L"ünïcödé", L"ÄÖÜ"), L"");
    EXPECT_EQ(String(file, L"Ünïcödé", L"КЛЮЧ"), L"");
    EXPECT_EQ(String(file, L"ÜNÏCÖDÉ", L"Ключ"), L"");
    EXPECT_EQ(String(file, L"RV系列", L"全角"), L"");  // U+3000 is not trimmed
    EXPECT_EQ(String(file, L"Ünïcödé", L"NoBreak"), L"\u00a0kept\u00a0");
}

TEST_F(ProfileBehaviourTest, AValueThatDoesNotFitIsCutToSizeLessOne) {
    const std::wstring file = File("utf16le_bom.ini");
    uint32_t count = 0;
    EXPECT_EQ(String(file, L"General", L"Name", 7, &count), L"Korvel");
    EXPECT_EQ(count, 6u);
    EXPECT_EQ(String(file, L"General", L"Name", 6, &count), L"Korve");
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(String(file, L"General", L"Name", 1, &count), L"");
    EXPECT_EQ(count, 0u);
}

TEST_F(ProfileBehaviourTest, SectionsComeBackAsLinesWithoutCommentsAndCutAtSizeLessTwo) {
    const std::wstring file = File("utf16le_bom.ini");
    uint32_t count = 0;
    const std::wstring lines = Section(file, L"rv系列", 512, &count);
    const wchar_t expected[] =
        L"RV-1800K\0RV-90=note\0\u3000全角\u3000=\u3000ideographic\u3000blanks\u3000";
    EXPECT_EQ(lines, std::wstring(expected, std::size(expected)));

    const std::wstring general = Section(file, L"GENERAL", 4096, &count);
    EXPECT_NE(general.find(std::wstring(L"\0NoEquals line\0", 15)), std::wstring::npos);
    EXPECT_EQ(general.find(L";comment"), std::wstring::npos);
    // A line with no name is listed once for a run of them.
    EXPECT_NE(general.find(std::wstring(L"\0=nameless\0", 11)), std::wstring::npos);
    EXPECT_EQ(general.find(L"nameless again"), std::wstring::npos);
    EXPECT_NE(general.find(std::wstring(L"\0Quoted=\"quoted value\"\0", 23)), std::wstring::npos);

    Section(file, L"RV系列", 20, &count);
    EXPECT_EQ(count, 18u);
    Section(file, L"Empty Section", 64, &count);
    EXPECT_EQ(count, 0u);
    // The file's section names are trimmed; a section read takes the caller's name as it is.
    Section(file, L"Spaced", 64, &count);
    EXPECT_EQ(count, 18u);
    Section(file, L" Spaced ", 64, &count);
    EXPECT_EQ(count, 0u);
}

TEST_F(ProfileBehaviourTest, LinesOfAFileReadInTheWrongEncoding) {
    using namespace std::string_literals;
    const struct {
        std::string text;
        std::wstring lines;
    } cases[] = {
        // A name that begins with a NUL reads as empty. A line with an '=' still lists its value,
        // even right after another such line; one without is left out, since an empty line would
        // end the list.
        {"[S]\r\nK=1\r\n\0garbled\r\n\0x=y\r\n\0z=w\r\nL=2\r\n"s, L"K=1\0=y\0=w\0L=2\0"s},
        // A carriage return alone ends a line too.
        {"[S]\rK=1\rL=2\r\rM=3 \r N=4"s, L"K=1\0L=2\0M=3\0N=4\0"s},
    };
    CTempFolder folder;
    for (const auto& c : cases) {
        folder.Write("garbled.ini", c.text);
        uint32_t count = 0;
        EXPECT_EQ(Section(folder.WindowsPath() + L"garbled.ini", L"S", 64, &count), c.lines);
    }
}

}  // namespace
