#include "tests/win32/named_turn.h"

#include <gtest/gtest.h>

namespace {

constexpr DWORD kTurnTimeoutMs = 60000;

}  // namespace

CNamedTurn::CNamedTurn(const wchar_t* name) {
    m_mutex = CreateMutexW(nullptr, FALSE, name);
    const DWORD error = GetLastError();
    EXPECT_NE(m_mutex, nullptr) << "creating the turn mutex: error " << error;
    if (m_mutex == nullptr)
        return;
    // An abandoned mutex is owned all the same: its last owner died, and with it its turn.
    const DWORD wait = WaitForSingleObject(m_mutex, kTurnTimeoutMs);
    m_owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    EXPECT_TRUE(m_owned) << "waiting for the turn mutex: " << wait;
}

CNamedTurn::~CNamedTurn() {
    if (m_owned)
        ReleaseMutex(m_mutex);
    if (m_mutex != nullptr)
        CloseHandle(m_mutex);
}
