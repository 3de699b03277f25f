#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "printer_app/tests/escp_decoder.h"
#include "printer_app/tests/raster_file.h"
#include "printer_app/tests/server_test_support.h"
#include "printer_app/tests/test_page.h"

namespace {

// The private scheduler of the CUPS tests (tests/cups/start-scheduler.sh), with CUPS's ipp
// backend beside its own, so that a queue can print to the application.
class CPrivateScheduler {
  public:
    CPrivateScheduler() {
        char folder[] = "/tmp/korvel-cups-XXXXXX";
        m_folder = mkdtemp(folder);
        int status = 0;
        m_server =
            CommandOutput(KORVEL_SOURCE_DIR "/tests/cups/start-scheduler.sh " + m_folder, status);
        // Its first line is the scheduler's address; nothing when it did not start.
        m_server = status == 0 ? m_server.substr(0, m_server.find('\n')) : std::string();
        symlink("/usr/lib/cups/backend/ipp", (m_folder + "/bin/backend/ipp").c_str());
    }
    ~CPrivateScheduler() {
        std::system((KORVEL_SOURCE_DIR "/tests/cups/stop-scheduler.sh " + m_folder).c_str());
    }
    CPrivateScheduler(const CPrivateScheduler&) = delete;
    CPrivateScheduler& operator=(const CPrivateScheduler&) = delete;

    const std::string& Server() const { return m_server; }

  private:
    std::string m_folder;
    std::string m_server;
};

// One job through CUPS: an IPP Everywhere queue made from the application's own attributes,
// and `lp`. CUPS's filters render the page again to the queue's default A4, so the page that
// reaches the printer is the drivers' work on a page of CUPS's, not the page sent: one page,
// framed as a job, with dots, within A4 at 180 dpi.
TEST(PrinterAppCupsTest, AnEverywhereQueuePrintsThroughTheApplication) {
    CPrivateScheduler cups;
    ASSERT_FALSE(cups.Server().empty()) << "the private scheduler did not start";
    ASSERT_EQ(std::system(("lpadmin -h " + cups.Server() + " -p korvel -E -m everywhere -v " +
                           ::Server().PrinterUri("p24pin"))
                              .c_str()),
              0);
    const uint32_t width = 200;
    const uint32_t height = 120;
    const std::vector<uint8_t> gray = KnownGrayPage(width, height);
    const std::string before = ReadFile(OutputOf("p24pin"));
    const std::string document =
        WriteDocument("cups.pwg", PwgRaster(gray, width, height, 180, 180));
    ASSERT_EQ(
        std::system(("lp -h " + cups.Server() + " -d korvel " + document + " >/dev/null").c_str()),
        0);
    DecodedJob job;
    for (int i = 0; i < 300 && !job.endsWithReset; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        job = DecodeEscp(ReadFile(OutputOf("p24pin")).substr(before.size()));
    }
    ASSERT_TRUE(job.endsWithReset) << "no whole job reached the printer";
    ASSERT_EQ(job.error, "");
    ASSERT_EQ(job.pages.size(), 1u);
    const DotPage& page = job.pages[0];
    EXPECT_GT(page.width, 0u);
    EXPECT_LE(page.width, 1488u);
    EXPECT_LE(page.height, 2105u);
}

}  // namespace
