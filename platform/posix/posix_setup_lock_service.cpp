#include "platform/posix/posix_setup_lock_service.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/platform_failure.h"
#include "platform/standin/wide_text.h"

namespace {

constexpr auto kPoll = std::chrono::milliseconds(20);

LockResult Fail(const wchar_t* call, int error) {
    RecordPlatformFailure(call, static_cast<uint32_t>(error), DecodeUtf8(std::strerror(error)));
    return LockResult::kFailed;
}

}  // namespace

CPosixSetupLockService::CPosixSetupLockService(std::string path) : m_path(std::move(path)) {}

CPosixSetupLockService::~CPosixSetupLockService() {
    for (const auto& held : m_held)
        close(held.second);
}

LockResult CPosixSetupLockService::Acquire(uint32_t waitMs) {
    const int fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return Fail(L"open", errno);
    // flock() does not wait with a limit, so it is tried until the wait is over.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            close(fd);
            return Fail(L"flock", error);
        }
        if (std::chrono::steady_clock::now() >= end) {
            close(fd);
            return LockResult::kBusy;
        }
        std::this_thread::sleep_for(kPoll);
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_held[std::this_thread::get_id()] = fd;
    return LockResult::kTaken;
}

void CPosixSetupLockService::Release() {
    std::lock_guard<std::mutex> hold(m_lock);
    const auto held = m_held.find(std::this_thread::get_id());
    if (held == m_held.end()) {
        Fail(L"flock", EPERM);
        return;
    }
    // Closing the descriptor lets the lock go.
    close(held->second);
    m_held.erase(held);
}
