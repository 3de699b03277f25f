#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/win32_session_service.h"

// The console program's backends over Wine's real token, kernel objects, registry, spooler and
// processes. Test processes of this program run side by side in one prefix: each uses names of
// its own.
namespace {

TEST(SessionWineTest, WineRunsEveryProcessElevated) {
    EXPECT_TRUE(CWin32SessionService().IsElevated());
}

}  // namespace
