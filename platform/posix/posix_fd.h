#pragma once

#include <unistd.h>

#include <utility>

// A file descriptor of ours, closed when it goes; -1 holds none.
class CPosixFd {
  public:
    explicit CPosixFd(int fd) : m_fd(fd) {}
    ~CPosixFd() {
        if (m_fd >= 0)
            close(m_fd);
    }
    CPosixFd(const CPosixFd&) = delete;
    CPosixFd& operator=(const CPosixFd&) = delete;
    // Handed on, as from a function that opens it; the one it leaves holds none.
    CPosixFd(CPosixFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    CPosixFd& operator=(CPosixFd&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }

  private:
    int m_fd;
};
