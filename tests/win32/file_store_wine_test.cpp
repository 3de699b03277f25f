#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cwchar>
#include <regex>
#include <string>
#include <thread>

#include "platform/log_copy.h"
#include "platform/native_path.h"
#include "platform/platform_failure.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_file_store_service.h"
#include "platform/win32/win32_program_folder.h"
#include "tests/support/test_files.h"

// The program's file store on Wine's file system, below a temporary folder of each test's own.
namespace {

class FileStoreWineTest : public ::testing::Test {
  protected:
    void SetUp() override { TakePlatformFailure(); }

    std::wstring Path(const std::wstring& relative) const { return root + L"\\" + relative; }

    // The failure recorded last, which must be this one.
    static void ExpectFailure(const wchar_t* call, DWORD code) {
        const auto failure = TakePlatformFailure();
        ASSERT_TRUE(failure.has_value()) << "no failure recorded";
        EXPECT_EQ(failure->call, call);
        EXPECT_EQ(failure->code, code);
        EXPECT_FALSE(failure->text.empty());
    }

    std::string Read(const wchar_t* folder, const wchar_t* name) {
        std::string bytes = "untouched";
        EXPECT_TRUE(store.ReadFile(folder, name, bytes));
        return bytes;
    }

    CTempFolder temp;
    const std::wstring root = temp.WindowsPath() + L"Korvel Setup";
    CWin32FileStoreService store{root};
};

// A folder's access list as SDDL.
std::wstring Rights(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    wchar_t* text = nullptr;
    GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          nullptr, nullptr, &descriptor);
    ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                         DACL_SECURITY_INFORMATION, &text, nullptr);
    const std::wstring sddl = text != nullptr ? text : L"";
    LocalFree(text);
    LocalFree(descriptor);
    return sddl;
}

// Adds an entry that lets everybody change the folder, as a user who made it could have.
void GrantEveryoneWrite(const std::wstring& path) {
    const std::wstring wider = Rights(path) + L"(A;OICI;0x1301bf;;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(wider.c_str(), SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
    EXPECT_TRUE(SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor));
    LocalFree(descriptor);
    // Wine keeps it as the Unix rights of others, and shows them as (A;OICI;0x1301ff;;;WD).
    EXPECT_NE(Rights(path).find(L";WD)"), std::wstring::npos) << Rights(path);
}

// A symbolic link planted for one test and taken away again. Wine 8 neither makes one through
// the Windows API (CreateSymbolicLinkW answers TRUE and makes nothing; FSCTL_SET_REPARSE_POINT
// answers ERROR_NOT_SUPPORTED) nor takes one away (RemoveDirectoryW removes the folder it points
// to, DeleteFileW is refused), but it starts Unix programs, without a handle to wait on.
class CUnixLink {
  public:
    CUnixLink(const std::wstring& link, const std::wstring& target) : m_link(link) {
        Run("ln -s \"" + UnixPath(target) + "\" \"" + UnixPath(link) + "\"", true);
    }
    ~CUnixLink() { Run("rm \"" + UnixPath(m_link) + "\"", false); }

    // Whether the system shows it as a link: Wine does for a link to a folder, and shows a link
    // to a file as the file itself.
    bool Shown() const { return (Attributes() & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

  private:
    DWORD Attributes() const {
        const DWORD attributes = GetFileAttributesW(m_link.c_str());
        return attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes;
    }
    static std::string UnixPath(const std::wstring& path) {
        using UnixName = char*(CDECL*)(const wchar_t*);
        const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        char* name = unixName != nullptr ? unixName(path.c_str()) : nullptr;
        const std::string text = name != nullptr ? name : "";
        HeapFree(GetProcessHeap(), 0, name);
        return text;
    }
    // Runs the command and waits up to two seconds for the link to be there, or gone.
    void Run(std::string command, bool there) const {
        const std::string program = "Z:\\bin\\" + command.substr(0, command.find(' '));
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &process))
            CloseHandle(process.hThread);
        for (int i = 0; i < 40 && (Attributes() != 0) != there; ++i)
            Sleep(50);
    }

    std::wstring m_link;
};

TEST_F(FileStoreWineTest, PrepareFolderMakesTheFoldersForTheSystemAndAdministratorsAndUsesThem) {
    EXPECT_EQ(CWin32FileStoreService().PathOf(L"Logs", L"a.log"),
              L"C:\\ProgramData\\Korvel Setup\\Logs\\a.log");
    ASSERT_TRUE(store.PrepareFolder(L"Backups"));
    // Wine shows what a folder grants in its own terms; a folder made with the default rights
    // grants everybody reading, (A;OICI;0x1200a9;;;WD), and ours must not.
    for (const std::wstring& folder : {root, Path(L"Backups")})
        EXPECT_EQ(Rights(folder).find(L";WD)"), std::wstring::npos) << Rights(folder);
    EXPECT_TRUE(store.PrepareFolder(L"Backups"));
    EXPECT_TRUE(store.PrepareFolder(L"Logs"));
}

TEST_F(FileStoreWineTest, SecureProgramFolderMakesAMissingFolderAndLeavesATrustedOneAlone) {
    std::wstring movedAside = L"untouched";
    ASSERT_TRUE(store.SecureProgramFolder(movedAside));
    EXPECT_EQ(movedAside, L"");
    // The setup lock is taken in it before any folder below it is prepared.
    ASSERT_NE(GetFileAttributesW(root.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Rights(root).find(L";WD)"), std::wstring::npos) << Rights(root);
    ASSERT_TRUE(store.PrepareFolder(L"Backups"));
    ASSERT_TRUE(store.WriteFile(L"Backups", L"kept", "content"));
    ASSERT_TRUE(store.SecureProgramFolder(movedAside));
    EXPECT_EQ(movedAside, L"");
    EXPECT_EQ(Read(L"Backups", L"kept"), "content");
}

// Wine cannot show a folder another account owns, but it does show one that everybody may change.
TEST_F(FileStoreWineTest, AProgramFolderThatOthersMayChangeIsMovedAsideAndMadeAgain) {
    ASSERT_TRUE(store.PrepareFolder(L"Backups"));
    ASSERT_TRUE(store.WriteFile(L"Backups", L"planted", "content"));
    GrantEveryoneWrite(root);
    std::wstring movedAside;
    ASSERT_TRUE(store.SecureProgramFolder(movedAside));
    EXPECT_FALSE(TakePlatformFailure().has_value());
    // "<root>.untrusted-20261208-042700Z-<16 random hex digits>", in universal time.
    const std::wstring prefix = root + L".untrusted-";
    EXPECT_EQ(movedAside.substr(0, prefix.size()), prefix);
    EXPECT_TRUE(std::regex_match(movedAside.substr(prefix.size()),
                                 std::wregex(L"\\d{8}-\\d{6}Z-[0-9a-f]{16}")))
        << testing::PrintToString(movedAside);
    EXPECT_NE(GetFileAttributesW((movedAside + L"\\Backups\\planted").c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Rights(root).find(L";WD)"), std::wstring::npos) << Rights(root);
    ASSERT_TRUE(store.PrepareFolder(L"Backups"));
    StringList names;
    ASSERT_TRUE(store.ListFiles(L"Backups", names));
    EXPECT_TRUE(names.empty());
}

// A standard user who makes the names of the coming seconds in advance blocks nothing, and two
// runs never move the folder at once: while one holds the folder's guard, the other waits.
TEST_F(FileStoreWineTest, NeitherNamesMadeInAdvanceNorASecondRunKeepAFolderFromBeingMovedOnce) {
    ASSERT_TRUE(store.PrepareFolder(L"Backups"));
    GrantEveryoneWrite(root);
    SYSTEMTIME now{};
    GetSystemTime(&now);
    for (int second = 0; second < 60; ++second) {
        wchar_t name[32] = {};
        std::swprintf(name, 32, L".untrusted-%04u%02u%02u-%02u%02u%02uZ", now.wYear, now.wMonth,
                      now.wDay, now.wHour, now.wMinute, second);
        ASSERT_TRUE(CreateDirectoryW((root + name).c_str(), nullptr));
    }
    const UniqueHandle guard(
        CreateMutexW(nullptr, TRUE, CProgramFolderGuard::NameFor(root).c_str()));
    ASSERT_TRUE(guard);
    std::wstring movedAside;
    bool secured = false;
    std::thread second([&] { secured = store.SecureProgramFolder(movedAside); });
    Sleep(300);
    // Still waiting: the folder is where it was, untrusted.
    EXPECT_NE(Rights(root).find(L";WD)"), std::wstring::npos);
    ReleaseMutex(guard.get());
    second.join();
    EXPECT_TRUE(secured);
    EXPECT_NE(GetFileAttributesW((movedAside + L"\\Backups").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Rights(root).find(L";WD)"), std::wstring::npos) << Rights(root);

    // Two runs started together on an untrusted folder: one moves it, the other finds the new one.
    GrantEveryoneWrite(root);
    std::wstring aside[2];
    bool done[2] = {};
    std::thread runs[2];
    for (int i = 0; i < 2; ++i)
        runs[i] = std::thread([&, i] { done[i] = store.SecureProgramFolder(aside[i]); });
    for (std::thread& run : runs)
        run.join();
    EXPECT_TRUE(done[0] && done[1]);
    EXPECT_NE(aside[0].empty(), aside[1].empty());
}

// A log copy goes only into a file of the running account's or the administrators'. Wine reports
// every file as the running account's, whoever was made its owner, so the owners are held to the
// rule as security identifiers.
TEST(TrustedSecurityWineTest, ALogCopysFileMayBelongOnlyToTheRunningAccountOrTheAdministrators) {
    CTrustedAccounts accounts;
    ASSERT_TRUE(accounts.Load());
    const struct {
        std::wstring sid;
        bool owns;
    } owners[] = {
        {accounts.UserSid(), true},
        {L"S-1-5-32-544", true},  // the administrators
        {L"S-1-5-18", false},     // the system
        {L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", false},  // installer
        {L"S-1-5-32-545", false},                                                    // the users
    };
    for (const auto& owner : owners) {
        PSID sid = nullptr;
        ASSERT_TRUE(ConvertStringSidToSidW(owner.sid.c_str(), &sid)) << owner.sid;
        const UniqueLocal<void> owned(sid);
        EXPECT_EQ(accounts.IsRunningAccountOrAdministrators(sid), owner.owns) << owner.sid;
    }
}

// Which setup folders a run warns of, by their security descriptors; and under Wine, where every
// file is the running account's, each folder is one.
TEST(TrustedSecurityWineTest, AFolderIsOthersToChangeUnlessOnlyTheAdministrationMay) {
    const struct {
        const wchar_t* sddl;
        const wchar_t* why;  // empty when only the administration may change it
    } cases[] = {
        {L"O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", L""},
        {L"O:BAD:(A;OICIIO;FA;;;CO)(A;;FA;;;SY)", L""},  // for what is made in it only
        {L"O:BUD:(A;;FA;;;SY)", L"it belongs to S-1-5-32-545."},
        {L"O:SYD:(A;;FA;;;SY)(A;;0x2;;;AU)", L"it lets S-1-5-11 change it."},
        {L"O:BA", L"it has no access list, which lets everybody change it."},
    };
    for (const auto& entry : cases) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
            entry.sddl, SDDL_REVISION_1, &descriptor, nullptr));
        const UniqueLocal<void> owned(descriptor);
        EXPECT_EQ(WhyOthersMayChangeIt(descriptor), entry.why) << entry.sddl;
    }
    CTempFolder temp;
    EXPECT_NE(CWin32FileStoreService().WhyOthersMayChange(temp.WindowsPath().c_str()), L"");
}

// The decision on security descriptors as SDDL, owner and access list as anybody could set them.
TEST(TrustedSecurityWineTest, OnlyTrustedOwnersWithNoWiderChangeRightsAreTrusted) {
    const struct {
        const wchar_t* sddl;
        DWORD refusal;  // 0 when trusted
    } cases[] = {
        {L"O:BAD:(A;;FA;;;BA)(A;;FA;;;SY)", 0},
        {L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
         L"D:(A;;FA;;;SY)(A;;FR;;;BU)",
         0},
        {L"O:BAD:(A;;FA;;;SY)(D;;FA;;;WD)", 0},
        {L"O:BUD:(A;;FA;;;BU)", ERROR_INVALID_OWNER},
        {L"O:SYD:(A;;FA;;;SY)(A;;FA;;;WD)", ERROR_INVALID_ACL},
        {L"O:SYD:(A;;FA;;;SY)(A;;0x4;;;BU)", ERROR_INVALID_ACL},
        {L"O:BA", ERROR_INVALID_ACL},  // no access list: everybody may do anything
    };
    CTrustedAccounts accounts;
    ASSERT_TRUE(accounts.Load());
    for (const auto& entry : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(entry.sddl)));
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
            entry.sddl, SDDL_REVISION_1, &descriptor, nullptr));
        const UniqueLocal<void> owned(descriptor);
        TakePlatformFailure();
        EXPECT_EQ(TrustedSecurity(descriptor, accounts, L"test check"), entry.refusal == 0);
        const auto failure = TakePlatformFailure();
        EXPECT_EQ(failure ? failure->call + L" " + std::to_wstring(failure->code) : L"",
                  entry.refusal == 0 ? L"" : L"test check " + std::to_wstring(entry.refusal));
    }
    // A null access list, which grants everybody everything too. Wine makes an empty list of
    // "D:NO_ACCESS_CONTROL", so this one is made by hand.
    SECURITY_DESCRIPTOR nullList{};
    BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof(administrators);
    ASSERT_TRUE(InitializeSecurityDescriptor(&nullList, SECURITY_DESCRIPTOR_REVISION) &&
                CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
                SetSecurityDescriptorOwner(&nullList, administrators, FALSE) &&
                SetSecurityDescriptorDacl(&nullList, TRUE, nullptr, FALSE));
    EXPECT_FALSE(TrustedSecurity(&nullList, accounts, L"test check"));
}

TEST_F(FileStoreWineTest, AFolderThatOthersMayChangeIsRefused) {
    ASSERT_TRUE(store.PrepareFolder(L"Backups"));
    GrantEveryoneWrite(Path(L"Backups"));
    EXPECT_FALSE(store.PrepareFolder(L"Backups"));
    ExpectFailure(L"folder check", ERROR_INVALID_ACL);
    // The program's own folder above them is held to the same.
    ASSERT_TRUE(store.PrepareFolder(L"Logs"));
    GrantEveryoneWrite(root);
    EXPECT_FALSE(store.PrepareFolder(L"Logs"));
    ExpectFailure(L"folder check", ERROR_INVALID_ACL);
}

TEST_F(FileStoreWineTest, AFileOrALinkInPlaceOfAFolderIsRefused) {
    ASSERT_TRUE(store.PrepareFolder(L"Backups"));
    CloseHandle(CreateFileW(Path(L"Logs").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, 0));
    EXPECT_FALSE(store.PrepareFolder(L"Logs"));
    ExpectFailure(L"folder check", ERROR_DIRECTORY);
    // A link to a folder the store would take, so that only its being a link refuses it.
    const CUnixLink link(Path(L"Linked"), Path(L"Backups"));
    if (!link.Shown())
        GTEST_SKIP() << "no link to a folder could be made here";
    EXPECT_FALSE(store.PrepareFolder(L"Linked"));
    ExpectFailure(L"folder check", ERROR_CANT_ACCESS_FILE);
}

TEST_F(FileStoreWineTest, ALinkInPlaceOfAFileIsNotRead) {
    ASSERT_TRUE(store.PrepareFolder(L"Backups"));
    ASSERT_TRUE(store.WriteFile(L"Backups", L"real", "content"));
    const CUnixLink link(Path(L"Backups\\linked"), Path(L"Backups\\real"));
    if (!link.Shown())
        GTEST_SKIP() << "Wine shows a link to a file as the file itself: no planted link to tell";
    std::string bytes = "untouched";
    EXPECT_FALSE(store.ReadFile(L"Backups", L"linked", bytes));
    ExpectFailure(L"file check", ERROR_CANT_ACCESS_FILE);
    EXPECT_EQ(bytes, "untouched");
}

TEST_F(FileStoreWineTest, WriteFileReplacesTheContentWholeOrNotAtAll) {
    ASSERT_TRUE(store.PrepareFolder(L"Backups"));
    ASSERT_TRUE(store.WriteFile(L"Backups", L"q.backup", "first content"));
    ASSERT_TRUE(store.WriteFile(L"Backups", L"q.backup", "second"));
    EXPECT_EQ(Read(L"Backups", L"q.backup"), "second");
    std::string head;
    uint64_t size = 0;
    ASSERT_TRUE(store.ReadFileHead(L"Backups", L"q.backup", 3, head, size));
    EXPECT_EQ(head, "sec");
    EXPECT_EQ(size, 6u);
    // The new content cannot be written beside the file: the old one stays whole.
    ASSERT_TRUE(CreateDirectoryW(Path(L"Backups\\q.backup.tmp").c_str(), nullptr));
    EXPECT_FALSE(store.WriteFile(L"Backups", L"q.backup", "third"));
    ExpectFailure(L"CreateFileW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read(L"Backups", L"q.backup"), "second");
}

TEST_F(FileStoreWineTest, AppendFileMakesTheFileAndAddsAtItsEnd) {
    ASSERT_TRUE(store.PrepareFolder(L"Logs"));
    ASSERT_TRUE(store.AppendFile(L"Logs", L"setup.log", "one\r\n"));
    ASSERT_TRUE(store.AppendFile(L"Logs", L"setup.log", "two\r\n"));
    EXPECT_EQ(Read(L"Logs", L"setup.log"), "one\r\ntwo\r\n");
}

TEST_F(FileStoreWineTest, ListFilesAppendsThePlainFilesSortedByName) {
    ASSERT_TRUE(store.PrepareFolder(L"Backups"));
    for (const wchar_t* name : {L"b.backup", L"C.backup", L"a.backup", L"cut.backup.tmp"})
        ASSERT_TRUE(store.WriteFile(L"Backups", name, "x"));
    ASSERT_TRUE(CreateDirectoryW(Path(L"Backups\\folder").c_str(), nullptr));
    StringList names = {L"earlier"};
    ASSERT_TRUE(store.ListFiles(L"Backups", names));
    EXPECT_EQ(names, (StringList{L"earlier", L"C.backup", L"a.backup", L"b.backup"}));
}

TEST_F(FileStoreWineTest, OnlyPlainNamesAreTaken) {
    ASSERT_TRUE(store.PrepareFolder(L"Backups"));
    for (const wchar_t* name : {L"", L".", L"..", L"..\\x", L"a/b", L"C:x", L"x.", L"x ", L"*",
                                L"CON", L"nul.txt", L"LPT1", L"com0"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        EXPECT_FALSE(store.WriteFile(L"Backups", name, "x"));
        ExpectFailure(L"plain name check", ERROR_INVALID_NAME);
        EXPECT_FALSE(store.PrepareFolder(name));
        ExpectFailure(L"plain name check", ERROR_INVALID_NAME);
    }
    for (const wchar_t* name : {L"a.b.backup", L"COM10", L"LPT1x", L"console"})
        EXPECT_TRUE(store.WriteFile(L"Backups", name, "x")) << testing::PrintToString(name);
}

}  // namespace

// What --log names: a new file or one of ours takes the copy; a folder, or a link to a folder
// where a file should be, is refused by the check and by the write alike.
TEST_F(FileStoreWineTest, TheLogCopyGoesOnlyIntoAFileOfOurs) {
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Path(L"folder").c_str(), nullptr));
    std::wstring why;
    for (int round = 0; round < 2; ++round) {  // made, then appended to
        EXPECT_TRUE(CheckLogCopyFile(Path(L"copy.log"), why)) << why;
        EXPECT_TRUE(AppendToLogCopy(Path(L"copy.log"), "line\n"));
    }
    std::string bytes;
    ASSERT_TRUE(ReadNativeFile(Path(L"copy.log").c_str(), bytes));
    EXPECT_EQ(bytes, "line\nline\n");
    EXPECT_FALSE(CheckLogCopyFile(Path(L"folder"), why));
    EXPECT_NE(why.find(L"it is a folder"), std::wstring::npos) << why;
    EXPECT_FALSE(AppendToLogCopy(Path(L"folder"), "line\n"));
    // A second name of a file may lie where another account reads it.
    ASSERT_TRUE(CreateHardLinkW(Path(L"second.log").c_str(), Path(L"copy.log").c_str(), nullptr));
    EXPECT_FALSE(CheckLogCopyFile(Path(L"copy.log"), why));
    EXPECT_NE(why.find(L"more than one name"), std::wstring::npos) << why;
    EXPECT_FALSE(AppendToLogCopy(Path(L"second.log"), "line\n"));
}
