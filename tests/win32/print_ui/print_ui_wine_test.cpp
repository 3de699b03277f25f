#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock_service.h"
#include "platform/platform_failure.h"
#include "platform/services.h"
#include "tests/fakes/fake_install_services.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_launcher_service.h"
#include "platform/win32/win32_pnp_service.h"
#include "platform/win32/win32_spooler_service.h"
#include "setupdata/setup_context.h"
#include "tests/fakes/fake_program_path_service.h"
#include "tests/support/test_files.h"

// The printer-UI commands through the real launcher: ShellExecuteExW starts Wine's rundll32, which
// loads a stand-in printui.dll that records the command line it is given. Each test case runs in
// a Wine process of its own, in parallel with others, in one prefix.
namespace {

constexpr wchar_t kChineseName[] = L"Korvel 打印机 RV-90";

// A file of the build tree, named by its Linux path, in the Z: form Wine gives it.
std::wstring BuildPath(const char* linuxPath) {
    std::wstring path = L"Z:" + std::filesystem::path(linuxPath).wstring();
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

std::wstring SystemPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    return std::wstring(folder) + L"\\" + name;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Puts the stand-in in place of the prefix's printui.dll, unless it is there already. Test
// processes of this program run at the same time in the same prefix, so one at a time looks, and
// the file is replaced in one step: no process can load half a copy.
void InstallStandIn() {
    const std::wstring source = BuildPath(KORVEL_PRINTUI_STANDIN);
    const std::wstring target = SystemPath(L"printui.dll");
    ASSERT_FALSE(target.empty());

    UniqueHandle mutex(CreateMutexW(nullptr, FALSE, L"Local\\KorvelPrintUiStandIn"));
    ASSERT_TRUE(mutex) << GetLastError();
    const DWORD wait = WaitForSingleObject(mutex.get(), 60000);
    // An owner that died holding it has still left no half copy behind.
    ASSERT_TRUE(wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) << wait;
    struct Releaser {
        HANDLE mutex;
        ~Releaser() { ReleaseMutex(mutex); }
    } releaser{mutex.get()};

    const std::string wanted = ReadBytes(source);
    ASSERT_FALSE(wanted.empty()) << "no stand-in at " << std::filesystem::path(source);
    if (ReadBytes(target) == wanted)
        return;
    const std::wstring copy = target + L".korvel-new";
    ASSERT_TRUE(CopyFileW(source.c_str(), copy.c_str(), FALSE)) << GetLastError();
    ASSERT_TRUE(MoveFileExW(copy.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        << GetLastError();
}

// The records of a stand-in log: each command line ends in one NUL.
std::vector<std::wstring> ReadRecords(const std::wstring& path) {
    const std::string bytes = ReadBytes(path);
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::copy(bytes.begin(), bytes.begin() + text.size() * sizeof(wchar_t),
              reinterpret_cast<char*>(text.data()));
    std::vector<std::wstring> records;
    size_t start = 0;
    for (size_t end = text.find(L'\0'); end != std::wstring::npos; end = text.find(L'\0', start)) {
        records.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    EXPECT_EQ(start, text.size()) << "an unterminated record";
    return records;
}

class PrintUiWineTest : public ::testing::Test {
  protected:
    PrintUiWineTest() : m_scope(OurServices()) {}

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(InstallStandIn());
        m_log = m_logFolder.WindowsPath() + L"printui.log";
        // The child processes inherit it, and every test process has a log of its own.
        ASSERT_TRUE(SetEnvironmentVariableW(L"KORVEL_PRINTUI_LOG", m_log.c_str()));
        // Only the command lines matter here: the stand-in is kept from changing the spooler,
        // which other test programs use at the same time in this prefix.
        ASSERT_TRUE(SetEnvironmentVariableW(L"KORVEL_PRINTUI_REFUSE", L"install,default"));
        context.Init();
    }

    void TearDown() override {
        SetEnvironmentVariableW(L"KORVEL_PRINTUI_LOG", nullptr);
        SetEnvironmentVariableW(L"KORVEL_PRINTUI_REFUSE", nullptr);
    }

    std::vector<std::wstring> Records() const { return ReadRecords(m_log); }
    void UseSetupFolder(const std::wstring& folder) {
        m_programPath.path = folder + L"PavonisSetup.exe";
        context.Init();
    }
    bool LogExists() const { return Exists(m_log); }

    PlatformServices OurServices() {
        m_programPath.path = SourcePath("sample-setup") + L"\\PavonisSetup.exe";
        PlatformServices services;
        services.launcher = &launcher;
        services.clock = &clock;
        services.profile = m_profile.get();
        services.programPath = &m_programPath;
        // The install looks the queue up before and after its command.
        services.spooler = &m_spooler;
        return services;
    }

    CWin32LauncherService launcher;
    CFakeClockService clock;
    SetupContext context;

  private:
    CFakeProgramPathService m_programPath;
    CWin32SpoolerService m_spooler;
    std::unique_ptr<IProfileService> m_profile = MakePlatformProfileService();
    CScopedServices m_scope;
    CTempFolder m_logFolder;
    std::wstring m_log;
};

// Measured: Wine's rundll32 hands the printer UI everything after the blank that follows
// "PRINTUI.DLL,PrintUIEntry", unchanged. A blank at the end and Chinese text arrive as the wizard
// formed them, so the records are compared whole.
TEST_F(PrintUiWineTest, TheCommandsReachThePrinterUiByteForByte) {
    context.SetMakeDefault(1);
    context.SetPrintTestPage(1);
    context.SetPrinterName(kChineseName);
    EXPECT_EQ(context.MakeDefaultPrinter(nullptr), 1);
    EXPECT_EQ(context.PrintTestPage(nullptr), 1);
    EXPECT_EQ(Records(), (std::vector<std::wstring>{
                             L"/y /q /n \"Korvel 打印机 RV-90\"",
                             L"/k /q /n \"Korvel 打印机 RV-90\"",
                         }));
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(PrintUiWineTest, TheInstallCommandKeepsItsTrailingBlank) {
    // A setup folder that gives the Chinese name a family. The stand-in is told not to install,
    // so the new queue is never found.
    CTempFolder setup;
    setup.Write("PrinterInfor.Inf", Utf16LeFile("[PRINTER_TYPE]\nKorvel 打印机 RV-90=24\n"));
    UseSetupFolder(setup.WindowsPath());
    EXPECT_EQ(context.InstallByPrintUi(kChineseName, L"USB001"), 0);
    const std::wstring inf = setup.WindowsPath() + L"PrinterDriver\\24pin\\OEMPRINT.INF";
    EXPECT_EQ(Records(), (std::vector<std::wstring>{
                             L"/if /n \"Korvel 打印机 RV-90\" /f \"" + inf +
                                 L"\" /r \"USB001\" /m \"Korvel 打印机 RV-90\" ",
                         }));
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{500}));
}

TEST_F(PrintUiWineTest, WithTheOptionsOffNothingIsStarted) {
    context.SetPrinterName(kChineseName);
    EXPECT_EQ(context.MakeDefaultPrinter(nullptr), 1);
    EXPECT_EQ(context.PrintTestPage(nullptr), 1);
    EXPECT_FALSE(LogExists());
}

TEST_F(PrintUiWineTest, AFailedStartIsRecordedWithItsError) {
    TakePlatformFailure();
    uint32_t error = 0;
    EXPECT_EQ(launcher.RunSystemProgram(L"no-such-rundll32.exe", L"", 0, error),
              LaunchResult::kNotStarted);
    const auto failure = TakePlatformFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->call, L"CreateProcessW");
    EXPECT_EQ(failure->code, error);
    EXPECT_EQ(failure->code, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(failure->text.empty());
}

// Passes a program that the system directory does not hold, so that the real start fails.
class CMissingProgramLauncher : public ILauncherService {
  public:
    explicit CMissingProgramLauncher(ILauncherService& inner) : m_inner(inner) {}
    LaunchResult RunSystemProgram(const wchar_t*, const wchar_t* parameters, uint32_t waitMs,
                                  uint32_t& error) override {
        return m_inner.RunSystemProgram(L"no-such-rundll32.exe", parameters, waitMs, error);
    }
    void ShowError(const wchar_t* text, const wchar_t* caption) override {
        m_inner.ShowError(text, caption);
    }

  private:
    ILauncherService& m_inner;
};

struct ShownBox {
    std::wstring caption;
    std::wstring text;
    bool operator==(const ShownBox& other) const {
        return caption == other.caption && text == other.text;
    }
};

void PrintTo(const ShownBox& box, std::ostream* out) {
    *out << std::filesystem::path(box.caption) << ": " << std::filesystem::path(box.text);
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// Closes every message box this process shows until stopped, and keeps what each said. Boxes of
// other test processes on the same display are left alone.
class CBoxCloser {
  public:
    CBoxCloser() : m_thread([this] { Run(); }) {}
    ~CBoxCloser() { Stop(); }

    std::vector<ShownBox> Stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_boxes;
    }

  private:
    void Run() {
        while (!m_stop) {
            HWND box = nullptr;
            while ((box = FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr) {
                DWORD process = 0;
                GetWindowThreadProcessId(box, &process);
                if (process != GetCurrentProcessId() || !IsWindowVisible(box))
                    continue;
                // 0xFFFF is the message text's control in the message box template.
                m_boxes.push_back({WindowText(box), WindowText(GetDlgItem(box, 0xFFFF))});
                SendMessageW(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(50);
        }
    }

    std::atomic<bool> m_stop{false};
    std::vector<ShownBox> m_boxes;
    std::thread m_thread;
};

TEST_F(PrintUiWineTest, AFailedStartIsShownInAnErrorBox) {
    // Without a display Wine's MessageBoxW returns at once and no box is ever seen.
    wchar_t display[256] = {};
    ASSERT_NE(GetEnvironmentVariableW(L"DISPLAY", display, 256), 0u)
        << "no X display: run the Windows tests with DISPLAY set";

    CMissingProgramLauncher missing(launcher);
    PlatformServices services = OurServices();
    services.launcher = &missing;
    CScopedServices scope(services);

    CBoxCloser closer;
    EXPECT_EQ(context.RunPrintUi(L"PRINTUI.DLL,PrintUIEntry /y /q /n \"Korvel RV-90\""), 0);
    const std::vector<ShownBox> boxes = closer.Stop();
    EXPECT_EQ(boxes, (std::vector<ShownBox>{
                         {L"ERROR", L"The specified file was not found."},
                     }));
}

// Lays a copy of a file down for its own lifetime.
class CPlantedFile {
  public:
    CPlantedFile(const std::wstring& source, const std::wstring& path) : m_path(path) {
        m_planted = CopyFileW(source.c_str(), path.c_str(), FALSE) != FALSE;
        m_error = GetLastError();
    }
    ~CPlantedFile() {
        if (m_planted)
            DeleteFileW(m_path.c_str());
    }
    CPlantedFile(const CPlantedFile&) = delete;
    CPlantedFile& operator=(const CPlantedFile&) = delete;
    bool planted() const { return m_planted; }
    DWORD error() const { return m_error; }

  private:
    std::wstring m_path;
    bool m_planted = false;
    DWORD m_error = 0;
};

// Makes a folder current for its own lifetime.
class CCurrentFolder {
  public:
    explicit CCurrentFolder(const std::wstring& folder) {
        wchar_t previous[MAX_PATH];
        const DWORD length = GetCurrentDirectoryW(MAX_PATH, previous);
        if (length == 0 || length >= MAX_PATH)
            return;
        m_previous = previous;
        m_changed = SetCurrentDirectoryW(folder.c_str()) != FALSE;
    }
    ~CCurrentFolder() {
        if (m_changed)
            SetCurrentDirectoryW(m_previous.c_str());
    }
    CCurrentFolder(const CCurrentFolder&) = delete;
    CCurrentFolder& operator=(const CCurrentFolder&) = delete;
    bool changed() const { return m_changed; }

  private:
    std::wstring m_previous;
    bool m_changed = false;
};

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    std::wstring folder(path, length);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

// Under Wine, ShellExecuteExW itself finds a bare "rundll32.exe" in the system directory, while
// CreateProcessW, or the shell given one of these folders as lpDirectory, starts the planted copy.
TEST_F(PrintUiWineTest, ARundll32BesideTheProgramOrInTheCurrentFolderIsNotStarted) {
    const std::wstring planted = BuildPath(KORVEL_PLANTED_RUNDLL32);
    CTempFolder markFolder;
    const std::wstring mark = markFolder.WindowsPath() + L"planted-ran";
    ASSERT_TRUE(SetEnvironmentVariableW(L"KORVEL_PLANTED_MARK", mark.c_str()));

    const std::wstring programFolder = ProgramFolder();
    ASSERT_FALSE(programFolder.empty());
    CPlantedFile besideProgram(planted, programFolder + L"rundll32.exe");
    ASSERT_TRUE(besideProgram.planted()) << besideProgram.error();
    CTempFolder currentFolder;
    CPlantedFile inCurrentFolder(planted, currentFolder.WindowsPath() + L"rundll32.exe");
    ASSERT_TRUE(inCurrentFolder.planted()) << inCurrentFolder.error();
    CCurrentFolder current(currentFolder.WindowsPath());
    ASSERT_TRUE(current.changed());

    context.SetMakeDefault(1);
    context.SetPrinterName(L"Korvel RV-90");
    EXPECT_EQ(context.MakeDefaultPrinter(nullptr), 1);
    EXPECT_EQ(Records(), (std::vector<std::wstring>{L"/y /q /n \"Korvel RV-90\""}));
    EXPECT_FALSE(Exists(mark));
    SetEnvironmentVariableW(L"KORVEL_PLANTED_MARK", nullptr);
}

TEST(PnpServiceWineTest, WineReportsEveryDriverUpdateAsDone) {
    // Wine answers TRUE whether or not a device or the driver file is there, so under Wine this
    // shows only that the call is made and its answer passed on.
    CWin32PnpService pnp;
    const std::wstring inf = SourcePath("sample-setup") + L"\\PrinterDriver\\9pin\\OEMPRINT.INF";
    EXPECT_TRUE(pnp.UpdateDriver(L"USBPRINT\\KORVELRV-90C21B", inf.c_str()));
    EXPECT_TRUE(pnp.UpdateDriver(L"USBPRINT\\KORVELRV-90C21B", L"Z:\\no\\such\\driver.inf"));
}

}  // namespace
