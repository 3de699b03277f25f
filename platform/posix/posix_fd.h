#pragma once

#include <unistd.h>

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
    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }

  private:
    int m_fd;
};
