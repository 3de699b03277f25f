#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/services.h"
#include "setupdata/setup_context.h"
#include "tests/fakes/fake_program_path_service.h"
#include "tests/support/test_files.h"

namespace {

// The setup folder shipped with the program: every model of the shown series must lead to a
// printer name, a family and a driver INF that exists.
class SampleSetupTest : public ::testing::Test {
  protected:
    SampleSetupTest() { programPath.path = SourcePath("sample-setup/PavonisSetup.exe"); }

    std::unique_ptr<IProfileService> profile = MakePlatformProfileService();
    CFakeProgramPathService programPath;
    CScopedServices services{{profile.get(), &programPath}};
};

TEST_F(SampleSetupTest, EveryShownModelLeadsToItsPrinterAndFamilyInf) {
    SetupContext context;
    StringList models;
    ASSERT_EQ(context.ListSeriesModels(L"RV系列", models), 1);
    ASSERT_EQ(models, (StringList{L"RV-1800K", L"RV-2400K", L"RV-630K", L"RV-90", L"RV-95"}));

    const char* families[] = {"24pin", "24pin", "24pin", "9pin", "9pin"};
    for (size_t i = 0; i < models.size(); ++i) {
        SCOPED_TRACE(testing::Message() << models[i]);
        EXPECT_EQ(context.IsSupportedModel(models[i].c_str()), 1);
        wchar_t name[260];
        ASSERT_EQ(context.LookUpPrinterName(models[i].c_str(), name, 260), 1);
        EXPECT_EQ(std::wstring(name), L"Korvel " + models[i]);
        context.SetPrinterName(name);
        context.ResolveDriverInfPath();
        const std::wstring inf =
            SourcePath(std::string("sample-setup/PrinterDriver/") + families[i] + "/OEMPRINT.INF");
        EXPECT_EQ(std::wstring(context.driverInfPath), inf);
    }
}

TEST_F(SampleSetupTest, TheSecondSeriesHasAModelOfItsOwn) {
    SetupContext context;
    StringList series;
    ASSERT_EQ(context.ListSeries(series), 1);
    EXPECT_EQ(series, (StringList{L"RV系列", L"KP系列"}));
    CString found;
    EXPECT_EQ(context.FindModelSeries(found, L"KP-960"), 1);
    EXPECT_EQ(found, L"KP系列");
    EXPECT_EQ(context.IsSupportedModel(L"KP-960"), 0);
    EXPECT_EQ(context.GetPrinterType(L"Korvel KP-960"), 2);
}

TEST_F(SampleSetupTest, TheDriverInfsAndLanguageFileAreThere) {
    const std::filesystem::path root = std::filesystem::path(KORVEL_SOURCE_DIR) / "sample-setup";
    EXPECT_TRUE(std::filesystem::exists(root / "PrinterDriver" / "24pin" / "OEMPRINT.INF"));
    EXPECT_TRUE(std::filesystem::exists(root / "PrinterDriver" / "9pin" / "OEMPRINT.INF"));
    EXPECT_TRUE(std::filesystem::exists(root / "Language.inf"));
}

}  // namespace
