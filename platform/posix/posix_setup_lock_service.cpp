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

// The lock file, made when it is missing. Root and the members of lpadmin must meet at the same
// file, so it is opened for reading only (flock needs no more) and made readable by all. It is
// opened without O_CREAT while it exists: in a shared sticky folder such as /run/lock, the
// kernel refuses O_CREAT on a file of another user (fs.protected_regular), even to root.
int OpenLockFile(const std::string& path) {
    constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC;
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = open(path.c_str(), kFlags);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        fd = open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0644);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

}  // namespace

CPosixSetupLockService::CPosixSetupLockService(std::string path) : m_path(std::move(path)) {}

CPosixSetupLockService::~CPosixSetupLockService() {
    for (const auto& held : m_held)
        close(held.second);
}

LockResult CPosixSetupLockService::Acquire(uint32_t waitMs) {
    const int fd = OpenLockFile(m_path);
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
