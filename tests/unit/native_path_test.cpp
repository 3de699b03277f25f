#include <gtest/gtest.h>

#include <filesystem>

#include "platform/native_path.h"
#include "tests/support/test_files.h"

#ifndef _WIN32
#include "platform/standin/standin_profile_service.h"
#endif

namespace {

// Plain files only, appended sorted by their characters' values; a missing folder leaves the list
// as it was.
TEST(NativePathTest, AFolderListsItsPlainFilesSorted) {
    const CTempFolder folder;
    for (const char* name : {"b.ppd", "a.ppd", "B.txt", "sub/c.ppd"})
        folder.Write(name, "x");
#ifndef _WIN32
    std::filesystem::create_symlink("a.ppd", PosixPathFromWindows(folder.WindowsPath() + L"l.ppd"));
#endif
    StringList names{L"kept"};
    ASSERT_TRUE(ListNativeFolder(folder.WindowsPath().c_str(), names));
    EXPECT_EQ(names, (StringList{L"kept", L"B.txt", L"a.ppd", L"b.ppd"}));
    EXPECT_FALSE(ListNativeFolder((folder.WindowsPath() + L"none\\").c_str(), names));
    EXPECT_EQ(names.size(), 4u);
}

}  // namespace
