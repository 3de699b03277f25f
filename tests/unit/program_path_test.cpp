#include <gtest/gtest.h>

#include <string>

#include "platform/services.h"
#include "setupdata/setup_context.h"
#include "tests/support/test_files.h"

namespace {

std::wstring RealProgramPath() {
    wchar_t path[SetupContext::kPathWidth] = {};
    MakePlatformProgramPathService()->GetProgramPath(path, SetupContext::kPathWidth);
    return path;
}

TEST(ProgramPathTest, ThePathNamesThisProgramInWindowsForm) {
    const std::wstring path = RealProgramPath();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.find(L"\\korvel_unit_tests"), std::wstring::npos);
    EXPECT_EQ(path.find(L'/'), std::wstring::npos);
}

TEST(ProgramPathTest, ABufferTooSmallIsLeftUntouched) {
    const std::wstring path = RealProgramPath();
    auto service = MakePlatformProgramPathService();
    std::wstring buffer(path.size(), L'#');
    EXPECT_EQ(service->GetProgramPath(buffer.data(), static_cast<uint32_t>(path.size())), 0u);
    EXPECT_EQ(buffer, std::wstring(path.size(), L'#'));
}

TEST(ProgramPathTest, TheSetupFolderIsTheProgramsOwn) {
    auto programPath = MakePlatformProgramPathService();
    CScopedServices services({nullptr, programPath.get()});
    SetupContext context;
    const std::wstring path = RealProgramPath();
    EXPECT_EQ(std::wstring(context.setupFolder), path.substr(0, path.rfind(L'\\') + 1));
}

}  // namespace
