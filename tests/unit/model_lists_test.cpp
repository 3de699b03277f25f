#include <gtest/gtest.h>

#include <string>

#include "platform/services.h"
#include "setupdata/setup_context.h"
#include "tests/fakes/fake_program_path_service.h"
#include "tests/support/test_files.h"

namespace {

class ModelListsTest : public ::testing::Test {
  protected:
    ModelListsTest() { programPath.path = SourcePath("tests/data/setup-cases/PavonisSetup.exe"); }

    void UseFolder(const CTempFolder& folder) {
        programPath.path = folder.WindowsPath() + L"PavonisSetup.exe";
    }

    std::unique_ptr<IProfileService> profile = MakePlatformProfileService();
    CFakeProgramPathService programPath;
    CScopedServices services{{profile.get(), &programPath}};
};

TEST_F(ModelListsTest, ListsAppendWholeLinesInFileOrder) {
    SetupContext context;
    StringList list{L"kept"};
    EXPECT_EQ(context.ListSeriesModels(L"RV系列", list), 1);
    EXPECT_EQ(list, (StringList{L"kept", L"RV-1800K", L"RV-90=note", L"RV-95"}));

    StringList series;
    EXPECT_EQ(context.ListSeries(series), 1);
    EXPECT_EQ(series, (StringList{L"RV系列", L"KP系列", L"Missing系列", L"LP系列"}));
}

TEST_F(ModelListsTest, AMissingSectionOrFileListsNothing) {
    SetupContext context;
    StringList list{L"kept"};
    EXPECT_EQ(context.ListSeriesModels(L"Missing系列", list), 0);
    EXPECT_EQ(list, StringList{L"kept"});

    programPath.path = SourcePath("tests/data/no-such-folder/PavonisSetup.exe");
    SetupContext nowhere;
    EXPECT_EQ(nowhere.ListSeries(list), 0);
    EXPECT_EQ(nowhere.IsSupportedModel(L"RV-1800K"), 0);
    CString series = L"untouched";
    EXPECT_EQ(nowhere.FindModelSeries(series, L"RV-1800K"), 0);
    EXPECT_EQ(series, L"untouched");
    EXPECT_EQ(list, StringList{L"kept"});
}

TEST_F(ModelListsTest, IsSupportedModelComparesWholeLinesOfTheShownSeriesOnly) {
    SetupContext context;
    EXPECT_EQ(context.IsSupportedModel(L"RV-1800K"), 1);
    EXPECT_EQ(context.IsSupportedModel(L"RV-95"), 1);
    EXPECT_EQ(context.IsSupportedModel(L"rv-1800k"), 0);  // models compare with case
    EXPECT_EQ(context.IsSupportedModel(L"RV-90"), 0);     // the line is "RV-90=note"
    EXPECT_EQ(context.IsSupportedModel(L"RV-90=note"), 1);
    EXPECT_EQ(context.IsSupportedModel(L"KP-960"), 0);  // listed in another series only
    EXPECT_EQ(context.IsSupportedModel(L""), 0);
}

TEST_F(ModelListsTest, FindModelSeriesTakesTheFirstListingSeries) {
    SetupContext context;
    CString series = L"untouched";
    EXPECT_EQ(context.FindModelSeries(series, L"RV-95"), 1);  // in RV系列 and KP系列
    EXPECT_EQ(series, L"RV系列");
    // KP系列 comes before LP系列; the missing section between them is passed over.
    EXPECT_EQ(context.FindModelSeries(series, L"KP-960"), 1);
    EXPECT_EQ(series, L"KP系列");
    EXPECT_EQ(context.FindModelSeries(series, L"LP-100"), 1);
    EXPECT_EQ(series, L"LP系列");

    series = L"untouched";
    EXPECT_EQ(context.FindModelSeries(series, L"RV-90"), 0);
    EXPECT_EQ(series, L"untouched");
}

TEST_F(ModelListsTest, ASectionTooLongForTheBufferIsAbsentToListsButSearchedByTheCheck) {
    // 300 lines of 13 characters with their NULs overflow the 2048-character buffer after 157.
    std::string text = "[PRINTER_SERIES]\nRV系列\n[RV系列]\n";
    for (int i = 0; i < 300; ++i)
        text += "RV-" + std::to_string(1000 + i) + "-LONG\n";
    CTempFolder folder;
    folder.Write("PrinterInfor.Inf", Utf16LeFile(text));
    UseFolder(folder);
    SetupContext context;

    StringList list{L"kept"};
    EXPECT_EQ(context.ListSeriesModels(L"RV系列", list), 0);
    EXPECT_EQ(list, StringList{L"kept"});
    EXPECT_EQ(context.IsSupportedModel(L"RV-1000-LONG"), 1);
    EXPECT_EQ(context.IsSupportedModel(L"RV-1156-LONG"), 1);
    // The 158th line is cut to "RV-11" by the buffer's end; neither it nor what follows is found.
    EXPECT_EQ(context.IsSupportedModel(L"RV-11"), 0);
    EXPECT_EQ(context.IsSupportedModel(L"RV-1157-LONG"), 0);
    EXPECT_EQ(context.IsSupportedModel(L"RV-1299-LONG"), 0);
    CString series;
    EXPECT_EQ(context.FindModelSeries(series, L"RV-1000-LONG"), 0);
}

TEST_F(ModelListsTest, ALineTooLongForTheLineBufferIsSkippedNotCut) {
    const std::string longLine(300, 'L');
    const std::string longest(255, 'M');
    CTempFolder folder;
    folder.Write("PrinterInfor.Inf",
                 Utf16LeFile("[RV系列]\nRV-1\n" + longLine + "\n" + longest + "\nRV-2\n"));
    UseFolder(folder);
    SetupContext context;

    StringList list;
    EXPECT_EQ(context.ListSeriesModels(L"RV系列", list), 1);
    EXPECT_EQ(list, (StringList{L"RV-1", std::wstring(255, L'M'), L"RV-2"}));
    EXPECT_EQ(context.IsSupportedModel(std::wstring(255, L'L').c_str()), 0);
}

TEST_F(ModelListsTest, ALineThatBeginsWithANulIsNoModel) {
    using namespace std::string_literals;
    CTempFolder folder;
    folder.Write("PrinterInfor.Inf", Utf16LeFile("[RV系列]\nRV-1\n\0garbled\nRV-2\n"s));
    UseFolder(folder);
    SetupContext context;
    StringList list;
    EXPECT_EQ(context.ListSeriesModels(L"RV系列", list), 1);
    EXPECT_EQ(list, (StringList{L"RV-1", L"RV-2"}));
    EXPECT_EQ(context.IsSupportedModel(L""), 0);
}

}  // namespace
