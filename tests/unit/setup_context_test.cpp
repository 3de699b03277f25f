#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "platform/services.h"
#include "setupdata/setup_context.h"
#include "tests/fakes/fake_program_path_service.h"
#include "tests/support/test_files.h"

namespace {

class SetupContextTest : public ::testing::Test {
  protected:
    SetupContextTest() { programPath.path = SourcePath("tests/data/setup-cases/PavonisSetup.exe"); }

    std::wstring Folder() const { return SourcePath("tests/data/setup-cases") + L"\\"; }

    std::unique_ptr<IProfileService> profile = MakePlatformProfileService();
    CFakeProgramPathService programPath;
    CScopedServices services{{profile.get(), &programPath}};
};

bool AllZeroAfterText(const wchar_t* field, size_t width) {
    for (size_t i = std::wcslen(field); i < width; ++i) {
        if (field[i] != L'\0')
            return false;
    }
    return true;
}

TEST_F(SetupContextTest, InitLaysOutTheFolderBesideTheProgram) {
    programPath.path = L"D:\\Setup\\x.exe";
    SetupContext context;
    EXPECT_STREQ(context.setupFolder, L"D:\\Setup\\");
    EXPECT_STREQ(context.printerInfoPath, L"D:\\Setup\\PrinterInfor.Inf");
    EXPECT_STREQ(context.driverInfPath, L"D:\\Setup\\PrinterDriver\\");
    EXPECT_STREQ(context.languagePath, L"D:\\Setup\\Language.inf");
    EXPECT_STREQ(context.printerName, L"");
    EXPECT_STREQ(context.portName, L"");
    EXPECT_STREQ(context.language, L"English");
    EXPECT_EQ(context.makeDefault, 0);
    EXPECT_EQ(context.printTestPage, 0);
    // Fields are cleared over their whole width, not just terminated.
    EXPECT_TRUE(AllZeroAfterText(context.setupFolder, SetupContext::kPathWidth));
    EXPECT_TRUE(AllZeroAfterText(context.printerName, SetupContext::kNameWidth));
    EXPECT_TRUE(AllZeroAfterText(context.language, SetupContext::kLanguageWidth));
}

TEST_F(SetupContextTest, InitAfterUseStartsAfresh) {
    SetupContext context;
    context.SetPrinterName(L"Korvel RV-1800K");
    context.SetPortName(L"USB001");
    context.SetMakeDefault(1);
    context.ResolveDriverInfPath();
    context.Init();
    EXPECT_STREQ(context.printerName, L"");
    EXPECT_STREQ(context.portName, L"");
    EXPECT_EQ(context.makeDefault, 0);
    EXPECT_EQ(std::wstring(context.driverInfPath), Folder() + L"PrinterDriver\\");
}

TEST_F(SetupContextTest, AProgramPathThatCannotBeHadLeavesEveryFileMissing) {
    programPath.fail = true;
    SetupContext failed;
    EXPECT_STREQ(failed.setupFolder, L"");
    // No path is derived: a bare name would be looked for in the Windows or the current folder.
    for (const wchar_t* path : {failed.printerInfoPath, failed.driverInfPath, failed.languagePath})
        EXPECT_STREQ(path, L"");
    StringList list;
    EXPECT_EQ(failed.ListSeries(list), 0);

    programPath.fail = false;
    programPath.path = L"NoSeparator.exe";
    SetupContext bare;
    EXPECT_STREQ(bare.setupFolder, L"");
}

TEST_F(SetupContextTest, APathTooLongForItsFieldIsLeftEmptyRatherThanCut) {
    // 250 characters of folder leave room for the folder itself but not for the file names.
    programPath.path = L"C:\\" + std::wstring(246, L'd') + L"\\x.exe";
    SetupContext context;
    EXPECT_EQ(std::wcslen(context.setupFolder), 250u);
    EXPECT_STREQ(context.printerInfoPath, L"");
    EXPECT_STREQ(context.driverInfPath, L"");
    EXPECT_STREQ(context.languagePath, L"");
}

// A package's program in bin\ with its setup data in share\korvel-setup\ beside it.
TEST_F(SetupContextTest, WithoutSetupDataBesideItTheProgramTakesThePackagedFolder) {
    const CTempFolder root;
    root.Write("share/korvel-setup/PrinterInfor.Inf", "[PRINTER_SERIES]\n");
    programPath.path = root.WindowsPath() + L"bin\\pavonis";
    programPath.packagedFolder = L"share\\korvel-setup\\";
    EXPECT_EQ(std::wstring(SetupContext().setupFolder),
              root.WindowsPath() + L"share\\korvel-setup\\");
    // A setup folder beside the program comes first.
    root.Write("bin/PrinterInfor.Inf", "[PRINTER_SERIES]\n");
    EXPECT_EQ(std::wstring(SetupContext().setupFolder), root.WindowsPath() + L"bin\\");
}

TEST_F(SetupContextTest, ReadProfileStringRejectsACutValueAndAcceptsOneThatFitted) {
    SetupContext context;
    wchar_t buffer[20];
    EXPECT_EQ(
        context.ReadProfileString(L"PRINTER_NAME", L"Exact18", context.printerInfoPath, buffer, 20),
        1);
    EXPECT_STREQ(buffer, L"abcdefghijklmnopqr");
    // 19 characters fill the buffer exactly and cannot be told from a cut value.
    EXPECT_EQ(
        context.ReadProfileString(L"PRINTER_NAME", L"Exact19", context.printerInfoPath, buffer, 20),
        0);
    EXPECT_EQ(
        context.ReadProfileString(L"PRINTER_NAME", L"Long25", context.printerInfoPath, buffer, 20),
        0);
    EXPECT_STREQ(buffer, L"abcdefghijklmnopqrs");
    EXPECT_EQ(
        context.ReadProfileString(L"PRINTER_NAME", L"Absent", context.printerInfoPath, buffer, 20),
        0);
    EXPECT_STREQ(buffer, L"");
}

TEST_F(SetupContextTest, AQuotedValueCutToSizeLessTwoIsToldFromOneThatFitted) {
    // The profile API takes the closing quote off a cut value, so that both come back as size - 2.
    CTempFolder folder;
    folder.Write("PrinterInfor.Inf", Utf16LeFile("[PRINTER_NAME]\nThree=\"abc\"\nTwo=\"ab\"\n"));
    programPath.path = folder.WindowsPath() + L"PavonisSetup.exe";
    SetupContext context;
    const struct {
        const wchar_t* key;
        uint32_t size;
        int32_t found;
        const wchar_t* buffer;  // what the profile API stored is left on failure
    } cases[] = {{L"Three", 4, 0, L"ab"},
                 {L"Three", 5, 1, L"abc"},
                 {L"Two", 4, 1, L"ab"},
                 {L"Two", 3, 0, L"a"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.key << " in " << c.size);
        wchar_t buffer[8];
        EXPECT_EQ(context.LookUpPrinterName(c.key, buffer, c.size), c.found);
        EXPECT_STREQ(buffer, c.buffer);
    }
}

TEST_F(SetupContextTest, ReadProfileSectionCountsTheLinesOrFailsWhenTheyDoNotFit) {
    SetupContext context;
    wchar_t buffer[64];
    // "RV-1800K\0RV-90=note\0RV-95\0" is 26 characters.
    EXPECT_EQ(context.ReadProfileSection(L"RV系列", context.printerInfoPath, buffer, 64), 26);
    EXPECT_EQ(std::wstring(buffer, 26), std::wstring(L"RV-1800K\0RV-90=note\0RV-95\0", 26));
    EXPECT_EQ(context.ReadProfileSection(L"RV系列", context.printerInfoPath, buffer, 20), 0);
    EXPECT_EQ(context.ReadProfileSection(L"Nowhere", context.printerInfoPath, buffer, 64), 0);
}

TEST_F(SetupContextTest, ThePrinterTypeSelectsTheFamilyInfOrNone) {
    SetupContext context;
    const std::wstring driverFolder = Folder() + L"PrinterDriver\\";
    const struct {
        const wchar_t* printer;
        int32_t type;
        std::wstring inf;
    } cases[] = {
        {L"Korvel RV-1800K", 1, driverFolder + L"24pin\\OEMPRINT.INF"},
        {L"korvel rv-1800k", 1, driverFolder + L"24pin\\OEMPRINT.INF"},  // keys ignore case
        {L"Korvel RV-95", 2, driverFolder + L"9pin\\OEMPRINT.INF"},
        {L"Blank Padded", 2, driverFolder + L"9pin\\OEMPRINT.INF"},  // blanks are trimmed
        {L"Zero Nine", -1, driverFolder},
        {L"Pin Word", -1, driverFolder},
        {L"Empty Type", -1, driverFolder},
        {L"Not Listed", -1, driverFolder},
        {L"", -1, driverFolder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "printer " << c.printer);
        EXPECT_EQ(context.GetPrinterType(c.printer), c.type);
        context.SetPrinterName(c.printer);
        context.ResolveDriverInfPath();
        EXPECT_EQ(std::wstring(context.driverInfPath), c.inf);
    }
}

TEST_F(SetupContextTest, LookUpPrinterNameFindsTheKeyInAnyCaseAndKeepsTheValue) {
    SetupContext context;
    wchar_t name[260];
    EXPECT_EQ(context.LookUpPrinterName(L"MIXED-CASE", name, 260), 1);
    EXPECT_STREQ(name, L"Korvel Mixed");
    EXPECT_EQ(context.LookUpPrinterName(L"RV-90", name, 260), 0);
}

TEST_F(SetupContextTest, FlagsTakeOnlyOneAsSet) {
    SetupContext context;
    for (int32_t value : {2, -1, 0}) {
        context.SetMakeDefault(1);
        context.SetMakeDefault(value);
        EXPECT_EQ(context.GetMakeDefault(), 0);
        context.SetPrintTestPage(1);
        context.SetPrintTestPage(value);
        EXPECT_EQ(context.GetPrintTestPage(), 0);
    }
    context.SetMakeDefault(1);
    context.SetPrintTestPage(1);
    EXPECT_EQ(context.GetMakeDefault(), 1);
    EXPECT_EQ(context.GetPrintTestPage(), 1);
}

TEST_F(SetupContextTest, NamesAreStoredWholeOrNotAtAll) {
    SetupContext context;
    wchar_t out[200];
    context.SetPrinterName(L"Korvel RV-1800K");
    context.GetPrinterName(out, 200);
    EXPECT_STREQ(out, L"Korvel RV-1800K");

    const std::wstring longest(199, L'p');
    context.SetPortName(longest.c_str());
    context.GetPortName(out, 200);
    EXPECT_EQ(std::wstring(out), longest);

    // A cut name would be another queue's name: a name that does not fit leaves no name.
    context.SetPrinterName(std::wstring(200, L'q').c_str());
    EXPECT_STREQ(context.printerName, L"");
    wchar_t small[4] = L"xyz";
    context.GetPortName(small, 4);
    EXPECT_STREQ(small, L"");
}

}  // namespace
