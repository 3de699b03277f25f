#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <thread>

#include "platform/platform_failure.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_session_service.h"
#include "platform/win32/win32_setup_lock_service.h"

// The console program's backends over Wine's real token, kernel objects, registry, spooler and
// processes. Test processes of this program run side by side in one prefix: each uses names of
// its own.
namespace {

const std::wstring kOwn = std::to_wstring(GetCurrentProcessId());
const std::wstring kLockName = L"Global\\KorvelPrinterSetupTest" + kOwn;

// The failure recorded last, as "call code".
std::wstring Failure() {
    const auto failure = TakePlatformFailure();
    return failure ? failure->call + L" " + std::to_wstring(failure->code) : L"none";
}

TEST(SessionWineTest, WineRunsEveryProcessElevated) {
    EXPECT_TRUE(CWin32SessionService().IsElevated());
}

TEST(SetupLockWineTest, AHeldLockIsBusyForAnotherThreadUntilReleased) {
    CWin32SetupLockService lock(kLockName);
    ASSERT_EQ(lock.Acquire(0), LockResult::kTaken);
    // Another run's handle, which keeps the mutex from going with the last handle of ours.
    const UniqueHandle waiter(OpenMutexW(SYNCHRONIZE, FALSE, kLockName.c_str()));
    LockResult other = LockResult::kFailed;
    std::thread([&] { other = lock.Acquire(200); }).join();
    EXPECT_EQ(other, LockResult::kBusy);
    lock.Release();
    EXPECT_EQ(Failure(), L"none");
    lock.Release();
    EXPECT_EQ(Failure(), L"ReleaseMutex 288");  // ERROR_NOT_OWNER
    std::thread([&] { other = lock.Acquire(0); }).join();
    EXPECT_EQ(other, LockResult::kTaken);
}

TEST(SetupLockWineTest, ALockWhoseHolderEndedWithoutReleasingIsTaken) {
    CWin32SetupLockService lock(kLockName);
    std::thread([&] { EXPECT_EQ(lock.Acquire(0), LockResult::kTaken); }).join();
    EXPECT_EQ(lock.Acquire(1000), LockResult::kTaken);
}

TEST(SetupLockWineTest, TheLockIsAGlobalMutexThatSystemAndAdministratorsMayTake) {
    CWin32SetupLockService lock;
    ASSERT_EQ(lock.Acquire(60000), LockResult::kTaken);
    const UniqueHandle mutex(OpenMutexW(READ_CONTROL, FALSE, L"Global\\KorvelPrinterSetup"));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    wchar_t* text = nullptr;
    ASSERT_EQ(GetSecurityInfo(mutex.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor),
              0u);
    const UniqueLocal<void> ownedDescriptor(descriptor);
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr));
    EXPECT_EQ(UniqueLocal<wchar_t>(text).get(),
              std::wstring(L"D:P(A;;0x100001;;;SY)(A;;0x100001;;;BA)"));
    lock.Release();
}

}  // namespace
