#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>

#include <cups/cups.h>

#include "platform/cups/cups_spooler_service.h"
#include "platform/platform_failure.h"

namespace {

std::string Run(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr)
            out += buffer;
        if (pclose(pipe) != 0)
            out.clear();
    }
    out.erase(out.find_last_not_of('\n') + 1);
    return out;
}

// One private scheduler for the whole program (tests/cups/start-scheduler.sh), which libcups
// finds through CUPS_SERVER as it would find any scheduler.
class PrivateScheduler : public ::testing::Environment {
  public:
    void SetUp() override {
        char folder[] = "/tmp/korvel-cups-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        m_folder = folder;
        const auto start = std::chrono::steady_clock::now();
        const std::string server =
            Run(std::string(KORVEL_SOURCE_DIR "/tests/cups/start-scheduler.sh ") + m_folder);
        ASSERT_FALSE(server.empty()) << "the private scheduler did not start";
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        std::printf("Private scheduler at %s, started in %lld ms\n", server.c_str(),
                    static_cast<long long>(ms.count()));
        setenv("CUPS_SERVER", server.c_str(), 1);
    }
    void TearDown() override {
        Run(std::string(KORVEL_SOURCE_DIR "/tests/cups/stop-scheduler.sh ") + m_folder);
    }

  private:
    std::string m_folder;
};

const auto* const kScheduler = ::testing::AddGlobalTestEnvironment(new PrivateScheduler);

// A printer of the test's own on the loopback: the bytes of one connection, until it closes.
class CLoopbackPrinter {
  public:
    CLoopbackPrinter() {
        m_socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(m_socket, reinterpret_cast<sockaddr*>(&address), size);
        listen(m_socket, 1);
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        m_received = std::async(std::launch::async, [this] {
            std::string bytes;
            const int connection = accept(m_socket, nullptr, nullptr);
            char buffer[65536];
            for (ssize_t n; connection >= 0 && (n = read(connection, buffer, sizeof buffer)) > 0;)
                bytes.append(buffer, static_cast<size_t>(n));
            close(connection);
            return bytes;
        });
    }
    ~CLoopbackPrinter() {
        shutdown(m_socket, SHUT_RDWR);
        close(m_socket);
    }
    std::wstring Uri() const { return L"socket://127.0.0.1:" + std::to_wstring(m_port); }
    // What arrived, or nothing after the time-out.
    std::string Received(std::chrono::seconds timeOut) {
        return m_received.wait_for(timeOut) == std::future_status::ready ? m_received.get() : "";
    }

  private:
    int m_socket = -1;
    int m_port = 0;
    std::future<std::string> m_received;
};

// The failure recorded last, for a message.
std::string Failure() {
    const std::optional<PlatformFailure> failure = TakePlatformFailure();
    return failure ? std::string(failure->call.begin(), failure->call.end()) + " " +
                         std::to_string(failure->code) + " " +
                         std::string(failure->text.begin(), failure->text.end())
                   : "";
}

class CupsSpoolerTest : public ::testing::Test {
  protected:
    // A new queue as the install makes one: the 9-pin ESC/P driver that CUPS ships.
    QueueRecord NewQueue(const std::wstring& name, const std::wstring& uri) {
        QueueRecord record;
        record.name = name;
        EXPECT_TRUE(cups.FindPpdName(L"Epson 9-Pin Series", record.driverPackage));
        record.settings = {{L"device-uri", uri},
                           {L"printer-info", L"Korvel RV-90"},
                           {L"printer-location", L"Dispatch, desk 2"},
                           {L"printer-error-policy", L"abort-job"},
                           {L"job-sheets-default", L"standard,none"}};
        return record;
    }
    bool Listed(const std::wstring& name) {
        StringList names;
        EXPECT_TRUE(cups.ListLocalPrinters(names));
        return std::find(names.begin(), names.end(), name) != names.end();
    }

    CCupsSpoolerService cups;
};

TEST_F(CupsSpoolerTest, QueueIsMadeReadMadeDefaultDeletedAndMadeAgainFromItsRecord) {
    // Another queue is the default, so that being the default is no accident.
    ASSERT_TRUE(cups.AddQueue(NewQueue(L"Korvel_Other", L"socket://127.0.0.1:9100")));
    ASSERT_TRUE(cups.SetDefaultPrinter(L"Korvel_Other"));
    const QueueRecord made = NewQueue(L"Korvel_RV-90", L"socket://127.0.0.1:9100");
    EXPECT_EQ(made.driverPackage, L"drv:///sample.drv/epson9.ppd");
    ASSERT_TRUE(cups.AddQueue(made));
    EXPECT_TRUE(Listed(L"Korvel_RV-90"));
    QueueState state;
    ASSERT_EQ(cups.LookUpQueue(L"korvel_rv-90", state), QueueLookup::kPresent);
    EXPECT_EQ(state.port, L"socket://127.0.0.1:9100");

    QueueRecord read;
    ASSERT_TRUE(cups.ReadQueue(L"Korvel_RV-90", read));
    EXPECT_EQ(read.name, L"Korvel_RV-90");
    EXPECT_EQ(read.driver, L"Epson 9-Pin Series");
    EXPECT_EQ(read.driverPackage, made.driverPackage);
    EXPECT_FALSE(read.isDefault);
    for (const auto& setting : made.settings) {
        ASSERT_NE(read.Setting(setting.first), nullptr) << setting.first;
        EXPECT_EQ(*read.Setting(setting.first), setting.second);
    }
    ASSERT_NE(read.Setting(L"ppd"), nullptr);
    EXPECT_EQ(read.Setting(L"ppd")->rfind(L"*PPD-Adobe", 0), 0u);
    EXPECT_NE(read.Setting(L"ppd")->find(L"*NickName: \"Epson 9-Pin Series"), std::wstring::npos);

    ASSERT_TRUE(cups.SetDefaultPrinter(L"Korvel_RV-90"));
    ASSERT_TRUE(cups.ReadQueue(L"Korvel_RV-90", read));
    EXPECT_TRUE(read.isDefault);
    EXPECT_TRUE(cups.IsDriverInstalled(read.driver.c_str()));

    PrinterHandle queue = cups.OpenPrinter(L"KORVEL_RV-90");
    ASSERT_NE(queue, nullptr);
    EXPECT_TRUE(cups.PurgePrinter(queue));
    EXPECT_TRUE(cups.DeletePrinter(queue));
    EXPECT_TRUE(cups.ClosePrinter(queue));
    EXPECT_EQ(cups.LookUpQueue(L"Korvel_RV-90", state), QueueLookup::kAbsent);
    EXPECT_FALSE(Listed(L"Korvel_RV-90"));
    EXPECT_TRUE(cups.DeletePrinterDriver(L"Korvel_RV-90"));

    // The restore: from the record alone, as the backup file keeps it.
    ASSERT_TRUE(cups.InstallDriverFromPackage(read));
    ASSERT_TRUE(cups.AddQueue(read));
    ASSERT_TRUE(cups.SetDefaultPrinter(read.name.c_str()));
    QueueRecord restored;
    ASSERT_TRUE(cups.ReadQueue(L"Korvel_RV-90", restored));
    EXPECT_EQ(restored.settings, read.settings);  // the PPD's text among them
    EXPECT_EQ(restored, read);
}

TEST_F(CupsSpoolerTest, UsbDiscoveryFindsTheFakeBackendsPrinterOnly) {
    StringList ports;
    ASSERT_TRUE(cups.ListPorts(ports));
    EXPECT_EQ(ports, StringList{L"usb://Korvel/RV-90?serial=KV000001"});
}

TEST_F(CupsSpoolerTest, TestPageReachesThePrinterAsEscP) {
    CLoopbackPrinter printer;
    ASSERT_TRUE(cups.AddQueue(NewQueue(L"Korvel_Page", printer.Uri())));
    ASSERT_TRUE(cups.PrintTestPage(L"Korvel_Page")) << Failure();
    const std::string bytes = printer.Received(std::chrono::seconds(60));
    EXPECT_EQ(bytes.substr(0, 2), "\x1b@");
    EXPECT_GT(bytes.size(), 10000u);  // graphics, not a bare reset
}

// Each refusal is recorded with the operation and the scheduler's status; a queue the scheduler
// refused to make is not left behind.
TEST_F(CupsSpoolerTest, RefusalsAreRecordedWithOperationAndStatus) {
    QueueRecord badUri = NewQueue(L"Korvel_Bad", L"nosuchscheme://printer");
    QueueRecord badPpd = NewQueue(L"Korvel_Bad", L"socket://127.0.0.1:9100");
    badPpd.settings.emplace_back(L"ppd", L"not a PPD");
    const struct {
        const char* what;
        std::function<bool()> call;
        const wchar_t* operation;
    } cases[] = {
        {"open", [&] { return cups.OpenPrinter(L"Missing") != nullptr; },
         L"Get-Printer-Attributes"},
        {"read",
         [&] {
             QueueRecord r;
             return cups.ReadQueue(L"Missing", r);
         },
         L"Get-Printer-Attributes"},
        {"default", [&] { return cups.SetDefaultPrinter(L"Missing"); }, L"CUPS-Set-Default"},
        {"bad URI", [&] { return cups.AddQueue(badUri); }, L"CUPS-Add-Modify-Printer"},
        {"bad PPD", [&] { return cups.AddQueue(badPpd); }, L"CUPS-Add-Modify-Printer"},
    };
    for (const auto& c : cases) {
        TakePlatformFailure();
        EXPECT_FALSE(c.call()) << c.what;
        const std::optional<PlatformFailure> failure = TakePlatformFailure();
        ASSERT_TRUE(failure) << c.what;
        EXPECT_EQ(failure->call, c.operation) << c.what;
        EXPECT_GE(failure->code, 0x400u) << c.what;
        EXPECT_FALSE(failure->text.empty()) << c.what;
        EXPECT_FALSE(Listed(L"Korvel_Bad")) << c.what;
    }
}

// A scheduler that cannot be reached says nothing of a queue: neither present nor absent.
TEST_F(CupsSpoolerTest, UnreachableSchedulerIsNoAnswer) {
    cupsSetServer("127.0.0.1:1");
    QueueState state;
    StringList names;
    EXPECT_EQ(cups.LookUpQueue(L"Korvel_RV-90", state), QueueLookup::kUnknown);
    EXPECT_FALSE(cups.ListLocalPrinters(names));
    EXPECT_FALSE(cups.DeletePrinterDriver(L"Korvel_RV-90"));
    const std::optional<PlatformFailure> failure = TakePlatformFailure();
    cupsSetServer(nullptr);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code, static_cast<uint32_t>(IPP_STATUS_ERROR_SERVICE_UNAVAILABLE));
}

}  // namespace
