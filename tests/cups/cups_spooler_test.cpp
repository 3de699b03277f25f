#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>

#include <cups/cups.h>

#include "platform/cups/cups_spooler_service.h"
#include "platform/platform_failure.h"
#include "platform/standin/wide_text.h"
#include "tests/cups/private_scheduler.h"

namespace {

// The failure recorded last, for a message.
std::string Failure() {
    const std::optional<PlatformFailure> f = TakePlatformFailure();
    return f ? EncodeUtf8(f->call + L" " + std::to_wstring(f->code) + L" " + f->text) : "";
}

// The values of a setting, in order.
std::vector<std::wstring> Values(const QueueRecord& record, const std::wstring& key) {
    std::vector<std::wstring> values;
    for (const auto& setting : record.settings) {
        if (setting.first == key)
            values.push_back(setting.second);
    }
    return values;
}

class CupsSpoolerTest : public ::testing::Test {
  protected:
    // A new queue as the install makes one: the 9-pin ESC/P driver that CUPS ships.
    QueueRecord NewQueue(const std::wstring& name, const std::wstring& uri) {
        QueueRecord record;
        record.name = name;
        EXPECT_TRUE(cups.FindSystemDriver(L"Epson 9-Pin Series", record.driverPackage));
        record.settings = {{L"device-uri", uri},
                           {L"printer-info", L"Korvel RV-90"},
                           {L"printer-location", L"Dispatch, desk 2"},
                           {L"printer-error-policy", L"abort-job"},
                           {L"job-sheets-default", L"standard"},
                           {L"job-sheets-default", L"none"}};
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
    std::wstring defaultName;
    ASSERT_TRUE(cups.ReadDefaultPrinter(defaultName));
    EXPECT_EQ(defaultName, L"Korvel_Other");
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
    for (const auto& setting : made.settings)
        EXPECT_EQ(Values(read, setting.first), Values(made, setting.first)) << setting.first;
    ASSERT_NE(read.Setting(L"ppd"), nullptr);
    EXPECT_EQ(read.Setting(L"ppd")->rfind(L"*PPD-Adobe", 0), 0u);

    ASSERT_TRUE(cups.SetDefaultPrinter(L"Korvel_RV-90"));
    ASSERT_TRUE(cups.ReadDefaultPrinter(defaultName));
    EXPECT_EQ(defaultName, L"Korvel_RV-90");
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
    // The scheduler forgets a deleted default (measured with CUPS 2.4): there is none.
    ASSERT_TRUE(cups.ReadDefaultPrinter(defaultName));
    EXPECT_EQ(defaultName, L"");
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

// A queue stopped but accepting jobs, or rejecting jobs but idle, is made again so from its
// record, with the reason its administrator gave.
TEST_F(CupsSpoolerTest, AQueuesStateAndItsReasonComeBackFromItsRecord) {
    const struct {
        const wchar_t* name;
        const wchar_t* state;
        const wchar_t* accepting;
    } cases[] = {{L"Korvel_Rejecting", L"idle", L"false"},
                 {L"Korvel_Stopped", L"stopped", L"true"}};
    for (const auto& c : cases) {
        QueueRecord made = NewQueue(c.name, L"socket://127.0.0.1:9100");
        made.settings.insert(made.settings.end(),
                             {{L"printer-state", c.state},
                              {L"printer-is-accepting-jobs", c.accepting},
                              {L"printer-state-message", L"Moving to floor 3"}});
        ASSERT_TRUE(cups.AddQueue(made)) << Failure();
        QueueRecord read;
        ASSERT_TRUE(cups.ReadQueue(c.name, read)) << Failure();
        for (const wchar_t* key :
             {L"printer-state", L"printer-is-accepting-jobs", L"printer-state-message"})
            EXPECT_EQ(Values(read, key), Values(made, key))
                << EncodeUtf8(c.name) << " " << EncodeUtf8(key);
    }
}

// The settings of the queue's own options.
std::vector<std::pair<std::wstring, std::wstring>> OwnOptions(const QueueRecord& record) {
    std::vector<std::pair<std::wstring, std::wstring>> options;
    for (const auto& setting : record.settings) {
        if (setting.first.rfind(L"option.", 0) == 0)
            options.push_back(setting);
    }
    return options;
}

// The scheduler reports a device URI without its credentials, and its own defaults among the
// queue's options. printers.conf has both as they are, but is believed only where it agrees with
// the scheduler: CUPS_SERVERROOT may name the folder of another scheduler.
TEST_F(CupsSpoolerTest, TheWholeDeviceUriAndOwnOptionsComeFromAPrintersConfThatAgrees) {
    QueueRecord made = NewQueue(L"Korvel_Conf", L"socket://bob:pw@127.0.0.1:9");
    made.settings.emplace_back(L"option.media", L"iso_a4_210x297mm");
    made.settings.emplace_back(L"option.sides", L"two-sided-long-edge");
    ASSERT_TRUE(cups.AddQueue(made)) << Failure();
    QueueRecord read;
    ASSERT_TRUE(cups.ReadQueue(L"Korvel_Conf", read)) << Failure();
    EXPECT_EQ(*read.Setting(L"device-uri"), L"socket://bob:pw@127.0.0.1:9");
    EXPECT_TRUE(read.deviceUriWhole);
    EXPECT_EQ(OwnOptions(read), OwnOptions(made));

    // Not readable (another account), another scheduler's queue of that name, a file that lags
    // behind a change of the options, and one that agrees but another account could have
    // written: the URI as reported and the options reported twice.
    const std::string folder = PrivateSchedulerFolder() + "/other";
    const std::string uri = "DeviceURI socket://bob:pw@127.0.0.1:9\n";
    const std::string options = "Option media iso_a4_210x297mm\nOption sides two-sided-long-edge\n";
    const struct {
        std::string stanza;
        uid_t owner;
    } files[] = {{"", 0},
                 {"DeviceURI socket://bob:pw@127.0.0.1:10\n" + options, 0},
                 {uri + "Option media iso_a4_210x297mm\n", 0},
                 {uri + options, 65534}};
    for (size_t i = 0; i < std::size(files); ++i) {
        const std::string root = folder + std::to_string(i);
        std::filesystem::create_directory(root);
        if (!files[i].stanza.empty()) {
            std::ofstream(root + "/printers.conf")
                << "<Printer Korvel_Conf>\n" + files[i].stanza + "</Printer>\n";
            ASSERT_EQ(chown((root + "/printers.conf").c_str(), files[i].owner, 0), 0);
        }
        setenv("CUPS_SERVERROOT", root.c_str(), 1);
        EXPECT_TRUE(cups.ReadQueue(L"Korvel_Conf", read)) << Failure();
        EXPECT_EQ(*read.Setting(L"device-uri"), L"socket://127.0.0.1:9") << i;
        EXPECT_FALSE(read.deviceUriWhole) << i;
        EXPECT_EQ(OwnOptions(read), OwnOptions(made)) << i;
    }
    setenv("CUPS_SERVERROOT", PrivateSchedulerFolder().c_str(), 1);
}

// A queue without a PPD (lpadmin -m raw) is saved as one and made again as one.
TEST_F(CupsSpoolerTest, RawQueueIsMadeAgainRaw) {
    QueueRecord made = NewQueue(L"Korvel_Raw", L"socket://127.0.0.1:9100");
    made.driverPackage = L"raw";
    ASSERT_TRUE(cups.AddQueue(made)) << Failure();
    QueueRecord read;
    ASSERT_TRUE(cups.ReadQueue(L"Korvel_Raw", read)) << Failure();
    EXPECT_EQ(read.driverPackage, L"raw");
    PrinterHandle queue = cups.OpenPrinter(L"Korvel_Raw");
    ASSERT_TRUE(queue != nullptr && cups.DeletePrinter(queue));
    cups.ClosePrinter(queue);
    ASSERT_TRUE(cups.InstallDriverFromPackage(read)) << Failure();
    ASSERT_TRUE(cups.AddQueue(read)) << Failure();
    QueueRecord again;
    ASSERT_TRUE(cups.ReadQueue(L"Korvel_Raw", again)) << Failure();
    EXPECT_EQ(again, read);
}

// The machine has no such USB device; a devices folder of the test's own has it.
TEST_F(CupsSpoolerTest, UsbDiscoveryFindsTheFakeBackendsPrinterOnlyWithIdsFromSysfs) {
    const std::wstring uri = L"usb://Korvel/RV-90?serial=KV000001";
    StringList ports;
    ASSERT_TRUE(cups.ListPorts(ports));
    EXPECT_EQ(ports, StringList{uri});
    std::vector<UsbPrinterDevice> devices;
    ASSERT_TRUE(cups.ListUsbPrinters(devices));
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].uri, uri);
    EXPECT_EQ(devices[0].deviceId, L"MFG:Korvel;MDL:RV-90;CMD:ESCP;CLS:PRINTER;");
    EXPECT_EQ(devices[0].vid + devices[0].pid, L"");

    char folder[] = "/tmp/korvel-usb-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string device = std::string(folder) + "/3-1";
    mkdir(device.c_str(), 0700);
    const char* files[][2] = {{"idVendor", "0a5f"}, {"idProduct", "0021"}, {"serial", "KV000001"}};
    for (const auto& file : files)
        std::ofstream(device + "/" + file[0]) << file[1] << "\n";
    const bool listed = CCupsSpoolerService(folder).ListUsbPrinters(devices);
    std::filesystem::remove_all(folder);
    ASSERT_TRUE(listed);
    ASSERT_EQ(devices.size(), 2u);  // appended
    EXPECT_EQ(devices[1].vid + L" " + devices[1].pid, L"0A5F 0021");
}

TEST_F(CupsSpoolerTest, TestPageReachesThePrinterAsEscP) {
    int port = 0;
    std::future<std::string> received = LoopbackPrinter(port);
    ASSERT_TRUE(
        cups.AddQueue(NewQueue(L"Korvel_Page", L"socket://127.0.0.1:" + std::to_wstring(port))));
    ASSERT_TRUE(cups.PrintTestPage(L"Korvel_Page")) << Failure();
    ASSERT_EQ(received.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    const std::string bytes = received.get();
    EXPECT_EQ(bytes.substr(0, 2), "\x1b@");
    EXPECT_GT(bytes.size(), 10000u);  // graphics, not a bare reset
}

// Each refusal is recorded with the operation and the scheduler's status; a queue the scheduler
// refused to make is not left behind.
TEST_F(CupsSpoolerTest, RefusalsAreRecordedWithOperationAndStatus) {
    QueueRecord badUri = NewQueue(L"Korvel_Bad", L"nosuchscheme://printer");
    QueueRecord badPpd = NewQueue(L"Korvel_Bad", L"socket://127.0.0.1:9100");
    badPpd.settings.emplace_back(L"ppd", L"not a PPD");
    QueueRecord scratch;
    const struct {
        const char* what;
        std::function<bool()> call;
        const wchar_t* operation;
    } cases[] = {
        {"open", [&] { return cups.OpenPrinter(L"Missing") != nullptr; },
         L"Get-Printer-Attributes"},
        {"read", [&] { return cups.ReadQueue(L"Missing", scratch); }, L"Get-Printer-Attributes"},
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
        EXPECT_FALSE(failure->refused) << c.what;  // none of them for want of rights
        EXPECT_FALSE(Listed(L"Korvel_Bad")) << c.what;
    }
}

// A queue whose jobs and PPD only a user with a password may purge and read: both are refused and
// recorded as refusals, and libcups asks no password callback but the service's own.
TEST_F(CupsSpoolerTest, RefusalForWantOfRightsIsRecordedWithoutAskingForAPassword) {
    QueueRecord record = NewQueue(L"Korvel_Locked", L"socket://127.0.0.1:9100");
    record.settings.emplace_back(L"printer-op-policy", L"password");
    ASSERT_TRUE(cups.AddQueue(record)) << Failure();
    PrinterHandle queue = cups.OpenPrinter(L"Korvel_Locked");
    ASSERT_NE(queue, nullptr);
    static int asked = 0;
    cupsSetPasswordCB2(
        [](const char*, http_t*, const char*, const char*, void*) -> const char* {
            ++asked;
            return nullptr;
        },
        nullptr);
    QueueRecord read;
    const std::function<bool()> calls[] = {[&] { return cups.PurgePrinter(queue); },
                                           [&] { return cups.ReadQueue(L"Korvel_Locked", read); }};
    for (const auto& call : calls) {
        TakePlatformFailure();
        EXPECT_FALSE(call());
        const std::optional<PlatformFailure> failure = TakePlatformFailure();
        EXPECT_TRUE(failure && failure->refused);
    }
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(cups.DeletePrinter(queue));
    EXPECT_TRUE(cups.ClosePrinter(queue));
}

// A scheduler that cannot be reached says nothing of a queue (neither present nor absent), nor of
// the default printer.
TEST_F(CupsSpoolerTest, UnreachableSchedulerIsNoAnswer) {
    cupsSetServer("127.0.0.1:1");
    QueueState state;
    StringList names;
    EXPECT_EQ(cups.LookUpQueue(L"Korvel_RV-90", state), QueueLookup::kUnknown);
    EXPECT_FALSE(cups.ListLocalPrinters(names));
    EXPECT_FALSE(cups.DeletePrinterDriver(L"Korvel_RV-90"));
    std::wstring defaultName = L"untouched";
    EXPECT_FALSE(cups.ReadDefaultPrinter(defaultName));
    EXPECT_EQ(defaultName, L"untouched");
    const std::optional<PlatformFailure> failure = TakePlatformFailure();
    cupsSetServer(nullptr);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->call, L"CUPS-Get-Default");
    EXPECT_EQ(failure->code, static_cast<uint32_t>(IPP_STATUS_ERROR_SERVICE_UNAVAILABLE));
}

}  // namespace
