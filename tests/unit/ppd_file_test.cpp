#include <gtest/gtest.h>

#include <string>

#include "install/cups/ppd_file.h"
#include "platform/native_path.h"
#include "tests/support/test_files.h"

namespace {

TEST(PpdFileTest, FactsComeFromTheFirstLineAndTheFirstNickName) {
    std::string sample;
    ASSERT_TRUE(ReadNativeFile(SourcePath("tests/data/ppd/korvel.ppd").c_str(), sample));
    const std::string top = "*PPD-Adobe: \"4.3\"\n";
    const struct {
        const char* name;
        std::string bytes;
        bool adobe;
        const wchar_t* nickName;
    } cases[] = {
        {"sample", sample, true, L"Korvel RV-630K, 24-pin"},
        {"CR LF", "*PPD-Adobe: \"4.3\"\r\n*NickName: \"K\"\r\n", true, L"K"},
        {"CR alone", "*PPD-Adobe: \"4.3\"\r*NickName:\t\"K\"\r", true, L"K"},
        {"first of two", top + "*NickName: \"A\"\n*NickName: \"B\"\n", true, L"A"},
        {"UTF-8", top + "*NickName: \"K \xC3\xA9\"\n", true, L"K \u00E9"},
        {"Latin-1", top + "*NickName: \"K \xE9\"\n", true, L"K \u00E9"},
        {"no NickName", top + "*ShortNickName: \"K\"\n", true, L""},
        {"quote open to the next line", top + "*NickName: \"K\n*ModelName: \"K\"\n", true, L""},
        {"quote open to the end", top + "*NickName: \"K", true, L""},
        {"not a PPD", " *PPD-Adobe: \"4.3\"\n*NickName: \"K\"\n", false, L"K"},
        {"empty", "", false, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PpdFacts facts = ReadPpdFacts(c.bytes);
        EXPECT_EQ(facts.adobe, c.adobe);
        EXPECT_EQ(facts.nickName, c.nickName);
    }
}

}  // namespace
