#include <cups/cups.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "printer_app/tests/escp_decoder.h"
#include "printer_app/tests/raster_file.h"
#include "printer_app/tests/server_test_support.h"
#include "printer_app/tests/test_page.h"

namespace {

// The state and reasons of the newest job of a printer, once it has ended ("8 reason,...").
std::string NewestJobEnd(const std::string& printer) {
    static const char* const kWanted[] = {"job-id", "job-state", "job-state-reasons"};
    for (int attempt = 0; attempt < 200; ++attempt) {
        http_t* http = httpConnect2("localhost", Server().Port(), nullptr, AF_UNSPEC,
                                    HTTP_ENCRYPTION_NEVER, 1, 5000, nullptr);
        ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                     Server().PrinterUri(printer).c_str());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3,
                      nullptr, kWanted);
        ipp_t* response = cupsDoRequest(http, request, ("/ipp/print/" + printer).c_str());
        int newest = 0;
        int id = 0;
        std::string state;
        std::string end;
        // One group of attributes a job; the reasons come after the job's id and state.
        for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
            const std::string name = ippGetName(a) != nullptr ? ippGetName(a) : "";
            char value[256] = "";
            ippAttributeString(a, value, sizeof value);
            if (name == "job-id")
                id = ippGetInteger(a, 0);
            else if (name == "job-state")
                state = std::to_string(ippGetInteger(a, 0));
            else if (name == "job-state-reasons" && id > newest) {
                newest = id;
                end = state + " " + value;
            }
        }
        ippDelete(response);
        httpClose(http);
        if (end.rfind("8 ", 0) == 0 || end.rfind("9 ", 0) == 0)
            return end;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return "no ended job";
}

// A client that sends part of a raster and dies: the server learns of the end of the document
// only from the closed connection.
void PrintAndDie(const std::string& printer, const std::string& part) {
    http_t* http = httpConnect2("localhost", Server().Port(), nullptr, AF_UNSPEC,
                                HTTP_ENCRYPTION_NEVER, 1, 5000, nullptr);
    ipp_t* request = ippNewRequest(IPP_OP_PRINT_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 Server().PrinterUri(printer).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
                 "image/pwg-raster");
    if (cupsSendRequest(http, request, ("/ipp/print/" + printer).c_str(), CUPS_LENGTH_VARIABLE) ==
        HTTP_STATUS_CONTINUE)
        cupsWriteRequestData(http, part.data(), part.size());
    ippDelete(request);
    httpClose(http);
}

TEST(PrinterAppTest, ReportsBothDriversAttributes) {
    for (const char* printer : {"p24pin", "p9pin"})
        EXPECT_EQ(IppTool(Server().PrinterUri(printer), "attributes.test", ""), "") << printer;
}

struct PageCase {
    const char* printer;
    int xDpi;
    int yDpi;
};

class PrinterAppPageTest : public ::testing::TestWithParam<PageCase> {};

// A PWG raster of two known pages prints as those pages dithered, dot for dot.
TEST_P(PrinterAppPageTest, RasterPagesDecodeToTheirInput) {
    const PageCase c = GetParam();
    const uint32_t width = 240;
    const uint32_t height = 150;
    const std::vector<uint8_t> gray = KnownGrayPage(width, height);
    const DecodedJob job = DecodeEscp(Print(
        c.printer, "image/pwg-raster", PwgRaster(gray, width, height, c.xDpi, c.yDpi, "sgray_8", 2),
        9, "job-completed-successfully"));
    ASSERT_EQ(job.error, "");
    EXPECT_TRUE(job.startsWithReset && job.endsWithReset);
    ASSERT_EQ(job.pages.size(), 2u);
    for (const DotPage& page : job.pages)
        EXPECT_EQ(FirstDifference(DitheredReference(gray, width, height), page), "");
}

INSTANTIATE_TEST_SUITE_P(Printers, PrinterAppPageTest,
                         ::testing::Values(PageCase{"p24pin", 180, 180}, PageCase{"p9pin", 120, 72},
                                           PageCase{"p9pin", 240, 72}),
                         [](const ::testing::TestParamInfo<PageCase>& info) {
                             return std::string(info.param.printer) + "_" +
                                    std::to_string(info.param.xDpi) + "x" +
                                    std::to_string(info.param.yDpi);
                         });

TEST(PrinterAppTest, PrintsAPng) {
    const std::string png = Server().Folder() + "/page.png";
    ASSERT_EQ(std::system(("convert -size 90x60 gradient:white-black " + png).c_str()), 0);
    const DecodedJob job =
        DecodeEscp(Print("p24pin", "image/png", ReadFile(png), 9, "job-completed-successfully"));
    EXPECT_EQ(job.error, "");
    ASSERT_EQ(job.pages.size(), 1u);
    EXPECT_GT(job.pages[0].width, 0u);
}

// Jobs already in the printer's language reach it byte for byte, typed or told by their first
// byte; untyped data that is not ESC/P is refused.
TEST(PrinterAppTest, RawJobsGoThroughUnchanged) {
    const std::string raw(
        "\x1b@\x1b"
        "E Invoice 42\r\n\x1b"
        "F\f\x1b@",
        21);
    EXPECT_EQ(Print("p24pin", "application/vnd.escp", raw, 9, "job-completed-successfully"), raw);
    EXPECT_EQ(Print("p9pin", "application/octet-stream", raw, 9, "job-completed-successfully"),
              raw);
    EXPECT_EQ(Print("p24pin", "application/octet-stream", "plain text, not ESC/P\n", 8,
                    "document-format-error"),
              "");
}

// Documents the drivers cannot print end their job with a reason, send the printer nothing, and
// leave the server serving.
TEST(PrinterAppTest, BadDocumentsEndTheirJobWithAReason) {
    const std::vector<uint8_t> gray = KnownGrayPage(120, 100);
    const std::string raster = PwgRaster(gray, 120, 100, 180, 180);
    const std::vector<uint8_t> rgb(120 * 100 * 3, 0);
    const std::string before = ReadFile(OutputOf("p24pin"));
    PrintAndDie("p24pin", raster.substr(0, raster.size() - 300));
    EXPECT_EQ(NewestJobEnd("p24pin"), "8 document-format-error") << "truncated raster";
    EXPECT_EQ(ReadFile(OutputOf("p24pin")), before);
    const struct {
        const char* name;
        const char* format;
        std::string document;
        const char* reason;
    } cases[] = {
        {"colour raster", "image/pwg-raster", PwgRaster(rgb, 120, 100, 180, 180, "srgb_8"),
         "document-unprintable-error"},
        // PAPPL reads the page header before any driver code runs, and gives its own reason.
        {"zero-size page", "image/pwg-raster", WithZeroHeight(raster), "aborted-by-system"},
        {"PNG bomb", "image/png", PngHeaderOnly(100000, 100000), "document-unprintable-error"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Print("p24pin", c.format, c.document, 8, c.reason), "") << c.name;
    EXPECT_EQ(IppTool(Server().PrinterUri("p24pin"), "attributes.test", ""), "");
}

}  // namespace
