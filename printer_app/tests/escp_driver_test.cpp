#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/services.h"
#include "platform/standin/standin_profile_service.h"
#include "printer_app/escp_job.h"
#include "printer_app/model_table.h"
#include "printer_app/tests/escp_decoder.h"
#include "printer_app/tests/test_page.h"
#include "setupdata/bounded_text.h"
#include "setupdata/setup_context.h"
#include "tests/support/test_files.h"

namespace {

RasterPageFormat GrayPage(uint32_t width, uint32_t height, int xDpi, int yDpi) {
    RasterPageFormat format;
    format.width = width;
    format.height = height;
    format.xDpi = xDpi;
    format.yDpi = yDpi;
    format.bitsPerPixel = 8;
    format.grayColorSpace = true;
    return format;
}

// Prints `pages` copies of the known page in one job; `rows` of each page are sent.
std::string PrintJob(const char* driver, const RasterPageFormat& format, int pages, uint32_t rows) {
    const std::vector<uint8_t> gray = KnownGrayPage(format.width, format.height);
    CEscpJob job(driver);
    std::string out;
    std::string problem;
    for (int page = 0; page < pages; ++page) {
        EXPECT_TRUE(job.StartPage(format, problem)) << problem;
        for (uint32_t y = 0; y < rows; ++y)
            job.WriteRow(y, &gray[y * format.width]);
        job.EndPage(out, problem);
    }
    job.EndJob(out);
    return out;
}

struct PageCase {
    const char* driver;
    int xDpi;
    int yDpi;
};

class EscpPageTest : public ::testing::TestWithParam<PageCase> {};

// Each mode's page decodes to the page dithered, dot for dot, framed by one reset at each end.
TEST_P(EscpPageTest, PagesDecodeToTheirDitheredInput) {
    const PageCase c = GetParam();
    const uint32_t width = 301;
    const uint32_t height = 205;
    const DecodedJob job =
        DecodeEscp(PrintJob(c.driver, GrayPage(width, height, c.xDpi, c.yDpi), 2, height));
    ASSERT_EQ(job.error, "");
    EXPECT_TRUE(job.startsWithReset && job.endsWithReset);
    EXPECT_EQ(job.resets, 2);
    ASSERT_EQ(job.pages.size(), 2u);
    const DotPage reference = DitheredReference(KnownGrayPage(width, height), width, height);
    for (const DotPage& page : job.pages)
        EXPECT_EQ(FirstDifference(reference, page), "");
}

INSTANTIATE_TEST_SUITE_P(Modes, EscpPageTest,
                         ::testing::Values(PageCase{"korvel_24pin", 180, 180},
                                           PageCase{"korvel_9pin", 120, 72},
                                           PageCase{"korvel_9pin", 240, 72}),
                         [](const ::testing::TestParamInfo<PageCase>& info) {
                             return std::string(info.param.driver) + "_" +
                                    std::to_string(info.param.xDpi) + "x" +
                                    std::to_string(info.param.yDpi);
                         });

// A page cut short is dropped whole, and a job with no whole page sends nothing at all.
TEST(EscpJobTest, APageCutShortSendsNothing) {
    EXPECT_EQ(PrintJob("korvel_24pin", GrayPage(64, 100, 180, 180), 1, 99), "");
}

TEST(EscpJobTest, PagesTheDriverCannotPrintAreRefused) {
    RasterPageFormat color = GrayPage(64, 64, 180, 180);
    color.grayColorSpace = false;
    RasterPageFormat oneBit = GrayPage(64, 64, 180, 180);
    oneBit.bitsPerPixel = 1;
    const struct {
        const char* driver;
        RasterPageFormat format;
    } cases[] = {
        {"korvel_24pin", GrayPage(0, 64, 180, 180)},
        {"korvel_24pin", GrayPage(64, 0, 180, 180)},
        {"korvel_24pin", color},
        {"korvel_24pin", oneBit},
        {"korvel_24pin", GrayPage(64, 64, 300, 300)},
        {"korvel_9pin", GrayPage(64, 64, 180, 180)},
        {"korvel_24pin", GrayPage(1801, 64, 180, 180)},
    };
    for (const auto& c : cases) {
        CEscpJob job(c.driver);
        std::string problem;
        EXPECT_FALSE(job.StartPage(c.format, problem)) << c.format.width << "x" << c.format.height;
        EXPECT_NE(problem, "");
    }
}

// USB printers are added with their family's driver when their device ID names a model of the
// setup data.
TEST(ModelTableTest, DeviceIdsOfSetupModelsGetTheirFamilysDriver) {
    CStandInProfileService profile;
    CScopedServices services{{&profile, nullptr}};
    SetupContext setup;
    CopyText(setup.setupFolder, SetupContext::kPathWidth,
             (SourcePath("sample-setup") + L"\\").c_str());
    setup.ResolveInfoFilePath();
    CModelTable table;
    table.Load(setup);
    const struct {
        const char* deviceId;
        const char* driver;
    } cases[] = {
        {"MFG:Korvel;MDL:RV-1800K;CMD:ESCP;", "korvel_24pin"},
        {"MANUFACTURER:korvel ; MODEL: rv-90 ;", "korvel_9pin"},
        {"MFG:Korvel;MDL:KP-960;", "korvel_9pin"},
        {"MFG:Korvel;MDL:RV-1;", nullptr},
        {"MFG:Other;MDL:RV-90;", nullptr},
        {"MFG:Korvel;", nullptr},
    };
    for (const auto& c : cases) {
        const char* driver = table.DriverForDeviceId(c.deviceId);
        EXPECT_EQ(driver == nullptr ? "" : driver, std::string(c.driver == nullptr ? "" : c.driver))
            << c.deviceId;
    }
}

}  // namespace
