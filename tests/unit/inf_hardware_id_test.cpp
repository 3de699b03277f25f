#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "setupdata/setup_context.h"
#include "tests/support/test_files.h"

namespace {

class InfHardwareIdTest : public ::testing::Test {
  protected:
    // The identifier found for `printer` in an INF of `text`, or "(none)".
    std::string Find(const std::string& text, const std::wstring& printer) {
        folder.Write("OEMPRINT.INF", text);
        std::wstring key = L"\"" + printer + L"\"";
        char id[1024];
        std::memset(id, '#', sizeof id);
        id[1023] = '\0';
        const std::wstring inf = folder.WindowsPath() + L"OEMPRINT.INF";
        const int32_t found = context.FindInfHardwareId(inf.c_str(), key.data(),
                                                        static_cast<uint32_t>(key.size()), id);
        if (found == 0) {
            EXPECT_EQ(id[0], '#') << "the buffer changed although nothing was found";
            return "(none)";
        }
        return id;
    }

    CTempFolder folder;
    SetupContext context;
};

TEST_F(InfHardwareIdTest, TheFieldAfterTheFirstCommaOfTheModelLineIsTheIdentifier) {
    const std::string inf =
        "[KORVEL.NTamd64]\r\n"
        "\"KORVEL RV-90\" = RV90.GPD,USBPRINT\\KORVELRV-90C21B,KORVEL_RV-90\r\n";
    EXPECT_EQ(Find(inf, L"Korvel RV-90"), "USBPRINT\\KORVELRV-90C21B");
    EXPECT_EQ(Find(inf, L"KORVEL RV-90"), "USBPRINT\\KORVELRV-90C21B");
    // Only the maker's name in exactly that mixed case is rewritten.
    EXPECT_EQ(Find(inf, L"korvel RV-90"), "(none)");
    EXPECT_EQ(Find(inf, L"Korvel RV-9"), "(none)");  // the closing quote is part of the key
}

TEST_F(InfHardwareIdTest, LineRulesOfTheModelLines) {
    const struct {
        const char* line;
        const char* id;
    } cases[] = {
        {"\"KORVEL RV-90\" = RV90.GPD, USBPRINT\\ID1,X", " USBPRINT\\ID1"},  // blank kept
        {"\"KORVEL RV-90\" = RV90.GPD,USBPRINT\\ID2", ""},                   // no second comma
        {"\"KORVEL RV-90\" = RV90.GPD,LPTENUM\\ID3,USBPRINT\\X", "LPTENUM\\ID3"},  // USB later
        {"\"KORVEL RV-90\" = USB.GPD,LPTENUM\\ID4", "(none)"},     // USB only before the comma
        {"\"KORVEL RV-90\" = RV90.GPD,LPTENUM\\ID5", "(none)"},    // no USB at all
        {" \"KORVEL RV-90\" = RV90.GPD,USBPRINT\\ID6", "(none)"},  // indented
        {"\"KORVEL RV-90\" = RV90.GPD", "(none)"},                 // no comma
        {"\"KORVEL RV-90\",USBPRINT\\ID7,X", "USBPRINT\\ID7"},     // no install section
        {"\"KORVEL RV-900\" = RV900.GPD,USBPRINT\\ID8", "(none)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Find(std::string("[M]\n") + c.line + "\n", L"Korvel RV-90"), c.id) << c.line;
    }
}

TEST_F(InfHardwareIdTest, TheFirstLineWithUsbWins) {
    const std::string inf =
        "\"KORVEL RV-90\" = RV90.GPD,LPTENUM\\PARALLEL,X\n"
        "\"KORVEL RV-90\" = RV90.GPD,USBPRINT\\SECOND,X\r\n"
        "\"KORVEL RV-90\" = RV90.GPD,USBPRINT\\THIRD,X\n";
    EXPECT_EQ(Find(inf, L"Korvel RV-90"), "USBPRINT\\SECOND");
    // The last line of a file needs no line end.
    EXPECT_EQ(Find("x\n\"KORVEL RV-90\" = A,USBPRINT\\LAST,X", L"Korvel RV-90"), "USBPRINT\\LAST");
}

TEST_F(InfHardwareIdTest, AnIdentifierTooLongForTheBufferIsRefused) {
    const std::string longId = "USBPRINT\\" + std::string(1015, 'L');  // 1024 characters
    const std::string inf = "\"KORVEL RV-90\" = A," + longId + ",X\n" +
                            "\"KORVEL RV-90\" = A,USBPRINT\\" + std::string(1014, 'F') + ",X\n";
    EXPECT_EQ(Find(inf, L"Korvel RV-90"), "USBPRINT\\" + std::string(1014, 'F'));
}

TEST_F(InfHardwareIdTest, ALineAcrossTheReadersChunksIsReadWhole) {
    // The reader takes the file in chunks of 1 MiB; put the model line across the first border
    // and a decoy that is not in the first column just before it.
    std::string inf(1048576 - 60, ';');
    inf +=
        "\n  \"KORVEL RV-90\" = A,USBPRINT\\DECOY,X\n\"KORVEL RV-90\" = "
        "RV90.GPD,USBPRINT\\ACROSS,X\n";
    EXPECT_EQ(Find(inf, L"Korvel RV-90"), "USBPRINT\\ACROSS");
}

TEST_F(InfHardwareIdTest, AMissingFileOrAnUnusableKeyFindsNothing) {
    std::wstring key = L"\"Korvel RV-90\"";
    char id[8] = "kept";
    EXPECT_EQ(context.FindInfHardwareId((folder.WindowsPath() + L"absent.inf").c_str(), key.data(),
                                        static_cast<uint32_t>(key.size()), id),
              0);
    EXPECT_STREQ(id, "kept");
    EXPECT_EQ(Find("\"KORVEL 打印机\" = A,USBPRINT\\X\n", L"Korvel 打印机"), "(none)");
}

}  // namespace
