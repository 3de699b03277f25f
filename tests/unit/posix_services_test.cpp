#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <future>
#include <map>
#include <regex>
#include <thread>

#include "platform/log_copy.h"
#include "platform/platform_failure.h"
#include "platform/posix/posix_file_store_service.h"
#include "platform/posix/posix_root_trust.h"
#include "platform/posix/root_environment.h"
#include "platform/posix/posix_setup_lock_service.h"
#include "platform/posix/posix_system_log_service.h"
#include "platform/posix/usb_sysfs.h"
#include "platform/standin/wide_text.h"

namespace {

namespace fs = std::filesystem;

// The Linux file store and lock over a folder of the test's own.
class PosixServicesTest : public ::testing::Test {
  protected:
    PosixServicesTest() {
        fs::create_directories(root);
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::replace);
    }
    ~PosixServicesTest() override { fs::remove_all(root); }

    const fs::path root = fs::temp_directory_path() /
                          ("korvel-posix-" + std::to_string(getpid()) + "-" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    CPosixFileStoreService store{
        {{L"Backups", (root / "backups").string()}, {L"Logs", (root / "logs").string()}}};
};

// The setup lock is root's, and so are its tests.
class PosixLockTest : public PosixServicesTest {
  protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "the setup lock is root's: run as root";
    }
};

TEST_F(PosixServicesTest, FilesAreWrittenWholeAppendedListedReadAndDeleted) {
    ASSERT_TRUE(store.PrepareFolder(L"Backups"));
    EXPECT_EQ(fs::status(root / "backups").permissions(), fs::perms::owner_all);
    ASSERT_TRUE(store.WriteFile(L"Backups", L"b.txt", "old"));
    ASSERT_TRUE(store.WriteFile(L"Backups", L"b.txt", "new"));
    ASSERT_TRUE(store.AppendFile(L"Backups", L"a.log", "1"));
    ASSERT_TRUE(store.AppendFile(L"Backups", L"a.log", "2"));
    fs::create_directory(root / "backups" / "folder");
    std::ofstream(root / "backups" / "c.txt.tmp") << "half";
    StringList names;
    ASSERT_TRUE(store.ListFiles(L"Backups", names));
    EXPECT_EQ(names, (StringList{L"a.log", L"b.txt"}));
    std::string text;
    ASSERT_TRUE(store.ReadFile(L"Backups", L"b.txt", text));
    EXPECT_EQ(text, "new");
    ASSERT_TRUE(store.ReadFile(L"Backups", L"a.log", text));
    EXPECT_EQ(text, "12");
    uint64_t size = 0;
    ASSERT_TRUE(store.ReadFileHead(L"Backups", L"a.log", 1, text, size));
    EXPECT_EQ(text, "1");
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(store.PathOf(L"Backups", L"b.txt"), (root / "backups" / "b.txt").wstring());
    EXPECT_TRUE(store.DeleteFile(L"Backups", L"b.txt"));
    EXPECT_FALSE(store.DeleteFile(L"Backups", L"b.txt"));
}

TEST_F(PosixServicesTest, PlantedFoldersLinksAndOtherNamesAreRefused) {
    const fs::path backups = root / "backups";
    fs::create_directory(backups);
    fs::permissions(backups, fs::perms::owner_all | fs::perms::group_write);
    EXPECT_FALSE(store.PrepareFolder(L"Backups"));
    fs::remove(backups);
    fs::create_directory(root / "elsewhere");
    fs::create_directory_symlink(root / "elsewhere", backups);
    EXPECT_FALSE(store.PrepareFolder(L"Backups"));
    fs::remove(backups);

    ASSERT_TRUE(store.PrepareFolder(L"Backups"));
    std::ofstream(root / "elsewhere" / "target") << "not ours";
    fs::create_symlink(root / "elsewhere" / "target", backups / "link.txt");
    std::string text;
    EXPECT_FALSE(store.ReadFile(L"Backups", L"link.txt", text));
    uint64_t size = 0;
    EXPECT_FALSE(store.ReadFileHead(L"Backups", L"link.txt", 1, text, size));
    EXPECT_FALSE(store.AppendFile(L"Backups", L"link.txt", "x"));
    for (const wchar_t* name : {L"", L".", L"..", L"../x", L"a/b"})
        EXPECT_FALSE(store.WriteFile(L"Backups", name, "x")) << name;
    EXPECT_FALSE(store.PrepareFolder(L"Elsewhere"));
    const auto failure = TakePlatformFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_FALSE(failure->text.empty());
}

TEST_F(PosixLockTest, TheLockBelongsToOneThreadAtATime) {
    CPosixSetupLockService lock((root / "setup.lock").string());
    ASSERT_EQ(lock.Acquire(0), LockResult::kTaken);
    EXPECT_EQ(std::async(std::launch::async, [&] { return lock.Acquire(50); }).get(),
              LockResult::kBusy);
    lock.Release();
    EXPECT_EQ(std::async(std::launch::async,
                         [&] {
                             const LockResult taken = lock.Acquire(0);
                             lock.Release();
                             return taken;
                         })
                  .get(),
              LockResult::kTaken);
}

TEST_F(PosixLockTest, OnlyRootMakesTheLockWhichRootAndLpadminMayOpen) {
    const fs::path folder = root / "lock";
    const std::string path = (folder / "setup.lock").string();
    CPosixSetupLockService member(path, getpwnam("nobody")->pw_uid);
    EXPECT_EQ(member.Acquire(0), LockResult::kFailed);
    EXPECT_EQ(TakePlatformFailure().value_or(PlatformFailure{}).text,
              L"The setup lock " + DecodeUtf8(path) +
                  L" is missing: run pavonis once as root (or install the package, whose "
                  L"tmpfiles.d entry makes it at boot).");
    EXPECT_FALSE(fs::exists(folder));

    CPosixSetupLockService rootsRun(path, 0);
    ASSERT_EQ(rootsRun.Acquire(0), LockResult::kTaken);
    rootsRun.Release();
    const group* lpadmin = getgrnam("lpadmin");
    for (const auto& [made, mode] : {std::pair{folder, 0750}, std::pair{fs::path(path), 0640}}) {
        struct stat status {};
        ASSERT_EQ(lstat(made.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, static_cast<mode_t>(mode)) << made;
        EXPECT_EQ(status.st_uid, 0u) << made;
        EXPECT_EQ(status.st_gid, lpadmin != nullptr ? lpadmin->gr_gid : 0u) << made;
    }
    EXPECT_EQ(member.Acquire(0), LockResult::kTaken);  // they meet at one lock
    member.Release();
}

TEST_F(PosixLockTest, ALockOrFolderThatAnotherAccountCouldHavePlantedIsRefused) {
    const fs::path folder = root / "lock";
    const fs::path lock = folder / "setup.lock";
    const uid_t nobody = getpwnam("nobody")->pw_uid;
    const struct {
        const char* planted;
        std::function<int()> plant;  // in the lock's folder, made empty for it
        std::string why;
    } cases[] = {
        {"a file of nobody's",
         [&] {
             std::ofstream(lock).close();
             return chown(lock.c_str(), nobody, 0);
         },
         lock.string() + " belongs to the account nobody, not to root."},
        {"a link", [&] { return symlink("/etc/passwd", lock.c_str()); }, "is a symbolic link"},
        {"a FIFO", [&] { return mkfifo(lock.c_str(), 0644); }, "is not a plain file."},
        {"a folder of nobody's", [&] { return chown(folder.c_str(), nobody, 0); },
         "folder " + folder.string() + " belongs to the account nobody, not to root."},
        {"a folder others may write", [&] { return chmod(folder.c_str(), 01777); },
         "may be written by accounts other than root."},
        {"a folder its group may write", [&] { return chmod(folder.c_str(), 0770); },
         "may be written by accounts other than root."},
        {"a folder that is a link",
         [&] { return rmdir(folder.c_str()) == 0 ? symlink(root.c_str(), folder.c_str()) : -1; },
         "is a symbolic link or another kind of file, not a folder."},
    };
    for (const auto& c : cases) {
        fs::remove_all(folder);
        fs::create_directory(folder);
        ASSERT_EQ(c.plant(), 0) << c.planted;
        CPosixSetupLockService service(lock.string(), 0);
        auto result = std::async(std::launch::async, [&] {
            const LockResult taken = service.Acquire(0);
            return std::pair{taken, TakePlatformFailure().value_or(PlatformFailure{}).text};
        });
        // A FIFO opened without O_NONBLOCK waits for a writer: this one lets the test end.
        const bool inTime = result.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        if (!inTime)
            close(open(lock.c_str(), O_WRONLY | O_NONBLOCK));
        EXPECT_TRUE(inTime) << c.planted << " held the run up";
        const auto [taken, text] = result.get();
        EXPECT_EQ(taken, LockResult::kFailed) << c.planted;
        EXPECT_NE(text.find(DecodeUtf8(c.why)), std::wstring::npos)
            << c.planted << ": " << EncodeUtf8(text);
    }
}

// Each row is a path /a/b/... from "/" down: whether each folder exists, its owner and its mode.
TEST_F(PosixServicesTest, RootKeepsItsFilesOnlyWhereNoOtherAccountCanWrite) {
    struct Folder {
        bool exists;
        uid_t owner;
        mode_t mode;
    };
    const char* const kPaths[] = {"/", "/a", "/a/b", "/a/b/c"};
    const Folder top{true, 0, S_IFDIR | 0755}, tmp{true, 0, S_IFDIR | 01777}, missing{false, 0, 0};
    const struct {
        std::vector<Folder> path;
        const char* why;  // empty when root may keep its files there
    } cases[] = {
        {{top, top, {true, 0, S_IFDIR | 0700}}, ""},
        {{top, tmp, {true, 0, S_IFDIR | 0700}, missing}, ""},  // a folder of root's under /tmp
        {{top, tmp, missing}, "/a/b does not exist, and any account may make it first"},
        {{top, missing, missing}, "/a does not exist"},
        {{top, {true, 0, S_IFLNK | 0777}, top}, "/a is a symbolic link"},
        {{top, {true, 0, S_IFREG | 0644}}, "/a is not a folder"},
        {{top, {true, 1000, S_IFDIR | 0700}, top}, "/a belongs to the account "},
        {{top, tmp, {true, 1000, S_IFDIR | 0700}}, "/a/b belongs to the account "},
        {{top, {true, 0, S_IFDIR | 0775}, top}, "/a may be written by accounts other than root"},
        {{top, {true, 0, S_IFDIR | 0757}, top}, "/a may be written by accounts other than root"},
        {{top, tmp, tmp}, "/a/b may be written by accounts other than root"},
        {{top, tmp, {true, 0, S_IFDIR | 0770}}, "/a/b may be written by accounts other than root"},
        {{top, tmp}, "/a is shared with every account"},  // STATE_DIRECTORY=/tmp, a --log in /tmp
    };
    for (const auto& c : cases) {
        std::vector<PathFolder> folders;
        for (const Folder& folder : c.path)
            folders.push_back({kPaths[folders.size()], folder.exists, folder.owner, folder.mode});
        const std::string why = WhyNotRootsAlone(folders);
        EXPECT_EQ(why.substr(0, std::strlen(c.why)), c.why) << folders.back().path;
        EXPECT_EQ(why.empty(), *c.why == '\0') << folders.back().path << ": " << why;
    }
    // The same on a real path, looked at folder by folder.
    EXPECT_EQ(WhyNotRootsAlone((root / "state").string()), "");
    EXPECT_EQ(WhyNotRootsAlone("state"), "state is not an absolute path");
    EXPECT_EQ(WhyNotRootsAlone("/tmp/../x"), "/tmp/../x goes up a folder with ..");
}

// What root takes from its environment: only what no other account could have put there.
TEST_F(PosixServicesTest, RootTakesFromItsEnvironmentOnlyWhatNoOtherAccountControls) {
    if (geteuid() != 0)
        GTEST_SKIP() << "planting folders as another account needs root";
    const std::string own = root.string();
    const std::string theirs = (root / "theirs").string();
    fs::create_directory(theirs);
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);  // nobody's
    const struct {
        const char* variable;
        std::string value;
        bool taken;
    } cases[] = {
        {"TMPDIR", own, true},
        {"TMPDIR", "/tmp", true},  // made in under names nobody takes first, read by descriptor
        {"TMPDIR", theirs, false},
        {"CUPS_DATADIR", own, true},
        {"CUPS_DATADIR", theirs, false},
        {"CUPS_DATADIR", "/tmp", false},
        {"CUPS_SERVERROOT", theirs, false},
        {"HOME", theirs + "/home", false},
        {"CUPS_SERVER", own + "/cups.sock", true},
        {"CUPS_SERVER", theirs + "/cups.sock", false},
        {"CUPS_SERVER", "localhost:631", true},
        {"CUPS_SERVER", "[::1]:631", true},
        {"CUPS_SERVER", "127.0.0.1", true},
        {"CUPS_SERVER", "printserver.example:631", false},
    };
    for (const auto& c : cases) {
        const std::string why = WhyNotForRoot(c.variable, c.value);
        EXPECT_EQ(why.empty(), c.taken) << c.variable << "=" << c.value << ": " << why;
    }
    // Each refused one is removed, and said.
    setenv("CUPS_DATADIR", theirs.c_str(), 1);
    setenv("TMPDIR", own.c_str(), 1);
    const std::vector<std::string> notices = VetRootEnvironment();
    EXPECT_EQ(std::getenv("CUPS_DATADIR"), nullptr);
    EXPECT_NE(std::getenv("TMPDIR"), nullptr);
    unsetenv("TMPDIR");
    const std::string said = "CUPS_DATADIR is not used, as " + theirs + " belongs to";
    EXPECT_EQ(std::count_if(notices.begin(), notices.end(),
                            [&](const std::string& n) { return n.rfind(said, 0) == 0; }),
              1);
    EXPECT_EQ(std::count_if(notices.begin(), notices.end(),
                            [&](const std::string& n) { return n.rfind("TMPDIR", 0) == 0; }),
              0);
}

// A devices folder as the kernel lays it out: a folder per device and per interface.
TEST_F(PosixServicesTest, UsbIdsComeFromTheOneDeviceThatAnswers) {
    const auto device = [&](const char* name, std::map<std::string, std::string> files) {
        fs::create_directories(root / name);
        for (const auto& file : files)
            std::ofstream(root / name / file.first) << file.second << "\n";
    };
    device("1-1", {{"idVendor", "04b8"}, {"idProduct", "0005"}, {"serial", "KV000001"}});
    device("1-1:1.0", {{"bInterfaceClass", "07"}, {"serial", "KV000001"}});  // no IDs
    device("1-2", {{"idVendor", "1a2b"},
                   {"idProduct", "00ff"},
                   {"serial", "A B/7"},
                   {"manufacturer", " korvel "},
                   {"product", "RV-95"}});
    for (const char* twin : {"2-1", "2-2"})
        device(twin, {{"idVendor", "1a2b"},
                      {"idProduct", "0100"},
                      {"manufacturer", "Korvel"},
                      {"product", "RV-99"}});
    device("3-1", {{"idVendor", "1a2b"}, {"manufacturer", "Korvel"}, {"product", "RV-70"}});
    const struct {
        const char* uri;
        const char* deviceId;
        const char* ids;  // "VID PID"; empty for none
    } cases[] = {
        {"usb://Korvel/RV-90?serial=KV000001&interface=1", "", "04B8 0005"},
        {"usb://Korvel/RV-95?serial=A%20B%2F7", "", "1A2B 00FF"},
        {"usb://Korvel/RV-95", "MANUFACTURER:KORVEL;MODEL:rv-95;", "1A2B 00FF"},
        {"usb://Korvel/RV-95?serial=KV000002", "MFG:Korvel;MDL:RV-95;", ""},
        {"usb://Korvel/RV-99", "MFG:Korvel;MDL:RV-99;", ""},
        {"usb://Korvel/RV-70", "MFG:Korvel;MDL:RV-70;", ""},
    };
    for (const auto& c : cases) {
        std::string vid = "kept", pid = "kept";  // untouched when nothing is found
        EXPECT_EQ(FindUsbDeviceIds(root.string(), c.uri, c.deviceId, vid, pid), *c.ids != '\0')
            << c.uri;
        EXPECT_EQ(vid + " " + pid, *c.ids ? c.ids : "kept kept") << c.uri;
    }
}

}  // namespace

// What --log names is written only when it is a regular file of ours or a new name: a link, a
// FIFO or a file that another account planted there is refused before the run starts, and so is,
// for root, any name in a folder that another account may write.
TEST_F(PosixServicesTest, TheLogCopyGoesOnlyIntoAFileOfOursMadeForUsAlone) {
    if (geteuid() != 0)
        GTEST_SKIP() << "planting files as another account needs root";
    const fs::path secret = root / "secret";
    std::ofstream(secret) << "root's own";
    fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::replace);
    const uid_t nobody = 65534;
    fs::create_symlink(secret, root / "link");
    ASSERT_EQ(lchown((root / "link").c_str(), nobody, nobody), 0);
    ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0666), 0);
    std::ofstream(root / "theirs") << "";
    ASSERT_EQ(chown((root / "theirs").c_str(), nobody, nobody), 0);
    fs::create_directory(root / "folder");
    // Another account could put a link there between the check and the write.
    fs::create_directory(root / "shared");
    fs::permissions(root / "shared", fs::perms::all, fs::perm_options::replace);
    const struct {
        const char* name;
        bool usable;
        bool written;  // by the write alone, unchecked
    } cases[] = {{"link", false, false},   {"fifo", false, false},
                 {"theirs", false, false}, {"folder", false, false},
                 {"new.log", true, true},  {"shared/new.log", false, true}};
    for (const auto& c : cases) {
        std::wstring why;
        const std::wstring path = DecodeUtf8((root / c.name).string());
        EXPECT_EQ(CheckLogCopyFile(path, why), c.usable) << c.name;
        EXPECT_EQ(why.empty(), c.usable) << c.name;
        // Even unchecked, the write itself never goes through a link nor into another's file.
        EXPECT_EQ(AppendToLogCopy(path, "line\n"), c.written) << c.name;
    }
    EXPECT_EQ(fs::status(root / "new.log").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    std::ifstream in(secret);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "root's own");
}

// The journal's copy of the log: one datagram a line, of the facility lpr (8 * 6) and the line's
// severity, tagged pavonis with the process, to the socket that stands in here for /dev/log.
TEST_F(PosixServicesTest, LogLinesReachTheSyslogSocketAsPavonisOfFacilityLpr) {
    const std::string path = (root / "log").string();
    const int journal = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(journal, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(bind(journal, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const timeval wait{5, 0};
    setsockopt(journal, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);

    CPosixSystemLogService systemLog(path);
    const struct {
        LogLevel level;
        std::wstring message;
        std::string priority;
        std::string text;
    } cases[] = {
        {LogLevel::kInformation, L"Setup started.", "54", "Setup started."},
        {LogLevel::kWarning, L"Kept the queue Front_Desk.", "52", "Kept the queue Front_Desk."},
        {LogLevel::kError, L"Result: failed (打印机).", "51", "Result: failed (打印机)."},
    };
    const std::string pid = std::to_string(getpid());
    for (const auto& c : cases) {
        systemLog.Write(c.level, c.message);
        char datagram[4096] = {};
        const ssize_t size = recv(journal, datagram, sizeof datagram, 0);
        ASSERT_GT(size, 0) << c.text;
        const std::string line(datagram, static_cast<size_t>(size));
        const std::regex expected(
            "<" + c.priority + R"(>[A-Z][a-z]{2} [ 123][0-9] \d\d:\d\d:\d\d pavonis\[)" + pid +
            R"(\]: )" + std::regex_replace(c.text, std::regex(R"([().])"), R"(\$&)"));
        EXPECT_TRUE(std::regex_match(line, expected)) << line;
    }
    struct tm local {};
    local.tm_year = 126;
    local.tm_mon = 11;
    local.tm_mday = 8;
    local.tm_hour = 10;
    local.tm_min = 15;
    local.tm_sec = 1;
    EXPECT_EQ(CPosixSystemLogService::Datagram(LogLevel::kInformation, L"Setup started.", "pavonis",
                                               4242, local),
              "<54>Dec  8 10:15:01 pavonis[4242]: Setup started.");
    close(journal);

    // With no journal listening the line is dropped, and the run goes on at once.
    fs::remove(path);
    systemLog.Write(LogLevel::kError, L"Nobody reads this.");
}
