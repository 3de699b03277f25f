#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "platform/platform_failure.h"
#include "platform/posix/posix_file_store_service.h"
#include "platform/posix/posix_setup_lock_service.h"

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
    EXPECT_FALSE(store.AppendFile(L"Backups", L"link.txt", "x"));
    for (const wchar_t* name : {L"", L".", L"..", L"../x", L"a/b"})
        EXPECT_FALSE(store.WriteFile(L"Backups", name, "x")) << name;
    EXPECT_FALSE(store.PrepareFolder(L"Elsewhere"));
    const auto failure = TakePlatformFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_FALSE(failure->text.empty());
}

TEST_F(PosixServicesTest, TheLockBelongsToOneThreadAtATime) {
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

}  // namespace
