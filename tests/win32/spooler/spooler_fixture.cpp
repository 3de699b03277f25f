#include "tests/win32/spooler/spooler_fixture.h"
#include "tests/win32/spooler/test_driver_install.h"

#include <gtest/gtest.h>
#include <winspool.h>

#include <memory>

namespace {

const wchar_t kTurnMutex[] = L"Local\\KorvelSpoolerQueues";
// Far longer than any test holds its turn, and shorter than the time-out of a test case.
using TestDriverInstall::kEnvironment;

struct PrinterCloser {
    void operator()(HANDLE printer) const { ClosePrinter(printer); }
};
using UniquePrinter = std::unique_ptr<void, PrinterCloser>;

// The folder of the running program, ending with a backslash.
std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const DWORD error = GetLastError();
    EXPECT_TRUE(length > 0 && length < MAX_PATH) << "finding the test program: error " << error;
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// Deletes the queue if it is there. An absent queue is not an error: the test may have deleted it.
void DeleteQueue(const std::wstring& name) {
    std::wstring copy = name;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE raw = nullptr;
    if (!OpenPrinterW(copy.data(), &raw, &defaults)) {
        const DWORD error = GetLastError();
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME))
            << "opening " << testing::PrintToString(name) << " to delete it";
        return;
    }
    const UniquePrinter printer(raw);
    const BOOL deleted = DeletePrinter(printer.get());
    const DWORD error = GetLastError();
    EXPECT_TRUE(deleted) << "deleting " << testing::PrintToString(name) << ": error " << error;
}

// Deletes the driver if it is there. DeletePrinterDriverExW with DPD_DELETE_UNUSED_FILES, which
// would take its files too, fails in Wine; the files are deleted separately.
void DeleteDriver(const std::wstring& name) {
    std::wstring environment = kEnvironment;
    std::wstring copy = name;
    if (DeletePrinterDriverW(nullptr, environment.data(), copy.data()))
        return;
    const DWORD error = GetLastError();
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER))
        << "deleting the driver " << testing::PrintToString(name);
}

}  // namespace

CSpoolerFixture::CSpoolerFixture() : m_turn(kTurnMutex) {}

CSpoolerFixture::~CSpoolerFixture() {
    for (auto it = m_queues.rbegin(); it != m_queues.rend(); ++it)
        DeleteQueue(*it);
    for (auto it = m_drivers.rbegin(); it != m_drivers.rend(); ++it) {
        DeleteDriver(*it);
        EXPECT_FALSE(HasDriver(*it)) << testing::PrintToString(*it) << " is left behind";
    }
    // Wine's spooler may keep a driver's configuration file loaded until the process ends, and a
    // loaded file cannot be deleted; a file left over is overwritten by the next run.
    for (const std::wstring& file : m_files)
        DeleteFileW(file.c_str());
}

std::wstring CSpoolerFixture::UniqueName() {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string("Korvel ") + test->test_suite_name() + "." + test->name();
    return std::wstring(name.begin(), name.end());
}

bool CSpoolerFixture::AddDriver(const std::wstring& name) {
    // Each driver gets a file of its own, so that no copy overwrites a file that a queue of
    // another driver has loaded.
    const std::wstring fileName = name + L".dll";
    std::wstring target;
    std::wstring failedStep;
    const DWORD error = TestDriverInstall::AddDriver(
        name, ProgramFolder() + TestDriverInstall::kDriverFile, fileName, target, failedStep);
    if (!target.empty()) {
        m_files.push_back(target);
        // AddPrinterDriverExW copies the files into the directory of the driver version.
        m_files.push_back(target.substr(0, target.size() - fileName.size()) + L"3\\" + fileName);
    }
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS))
        << testing::PrintToString(failedStep) << ": error " << error;
    if (error != ERROR_SUCCESS)
        return false;
    m_drivers.push_back(name);
    return true;
}

bool CSpoolerFixture::AddQueue(const std::wstring& name, const std::wstring& driver) {
    return Add(name, driver, false);
}

bool CSpoolerFixture::AddSetUpQueue(const std::wstring& name, const std::wstring& driver) {
    return Add(name, driver, true);
}

bool CSpoolerFixture::Add(const std::wstring& name, const std::wstring& driver, bool setUp) {
    std::wstring texts[] = {name,        driver, setUp ? L"LPT2:" : L"LPT1:",
                            L"winprint", L"RAW", L"Front desk\r\nsecond line",
                            L"Room 7"};
    PRINTER_INFO_2W info{};
    info.pPrinterName = texts[0].data();
    info.pDriverName = texts[1].data();
    info.pPortName = texts[2].data();
    info.pPrintProcessor = texts[3].data();
    info.pDatatype = texts[4].data();
    DEVMODEW mode{};
    if (setUp) {
        info.pComment = texts[5].data();
        info.pLocation = texts[6].data();
        mode.dmSpecVersion = DM_SPECVERSION;
        mode.dmSize = sizeof(mode);
        mode.dmFields = DM_PAPERSIZE;
        mode.dmPaperSize = DMPAPER_A5;
        wcsncpy(mode.dmDeviceName, name.c_str(), CCHDEVICENAME - 1);
        info.pDevMode = &mode;
    }
    const UniquePrinter printer(AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
    const DWORD error = GetLastError();
    EXPECT_NE(printer.get(), nullptr)
        << "adding the queue " << testing::PrintToString(name) << ": error " << error;
    if (!printer)
        return false;
    m_queues.push_back(name);
    for (const QueueDataValue& value : setUp ? SetUpData() : std::vector<QueueDataValue>()) {
        std::vector<uint8_t> bytes = value.bytes;
        const DWORD written =
            SetPrinterDataExW(printer.get(), value.key.c_str(), value.name.c_str(), value.type,
                              bytes.data(), static_cast<DWORD>(bytes.size()));
        EXPECT_EQ(written, static_cast<DWORD>(ERROR_SUCCESS)) << "writing printer data";
        if (written != ERROR_SUCCESS)
            return false;
    }
    return true;
}

const std::vector<QueueDataValue>& CSpoolerFixture::SetUpData() {
    static const std::vector<QueueDataValue> data = {
        {L"PrinterDriverData", L"Copies", REG_DWORD, {3, 0, 0, 0}},
        {L"PrinterDriverData", L"Tray", REG_SZ, {'U', 0, 'p', 0, 0, 0}},
        {L"DsUser", L"asset", REG_BINARY, {0x4b}},
        {L"PrinterDriverData\\Forms", L"A5", REG_BINARY, {1, 2, 3}},
    };
    return data;
}

bool CSpoolerFixture::HasDriver(const std::wstring& name) {
    std::wstring environment = kEnvironment;
    DWORD needed = 0;
    DWORD count = 0;
    if (EnumPrinterDriversW(nullptr, environment.data(), 1, nullptr, 0, &needed, &count))
        return false;
    const DWORD error = GetLastError();
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << "listing the drivers";
    if (error != ERROR_INSUFFICIENT_BUFFER)
        return false;
    auto buffer = std::make_unique<BYTE[]>(needed);
    const BOOL listed =
        EnumPrinterDriversW(nullptr, environment.data(), 1, buffer.get(), needed, &needed, &count);
    const DWORD listError = GetLastError();
    EXPECT_TRUE(listed) << "listing the drivers: error " << listError;
    if (!listed)
        return false;
    const auto* drivers = reinterpret_cast<const DRIVER_INFO_1W*>(buffer.get());
    for (DWORD i = 0; i < count; ++i) {
        if (name == drivers[i].pName)
            return true;
    }
    return false;
}
