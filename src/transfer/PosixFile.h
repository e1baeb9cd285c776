#pragma once

#include <QtGlobal>
#include <unistd.h>

namespace nubo::transfer {

// A file descriptor closed when it goes.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Reads or writes exactly `len` bytes at `off` (safe from several threads on one descriptor).
inline bool readFully(int fd, char* buf, qint64 len, qint64 off) {
    for (qint64 done = 0; done < len;) {
        const ssize_t r = ::pread(fd, buf + done, size_t(len - done), off + done);
        if (r <= 0)
            return false;
        done += r;
    }
    return true;
}

inline bool writeFully(int fd, const char* buf, qint64 len, qint64 off) {
    for (qint64 done = 0; done < len;) {
        const ssize_t w = ::pwrite(fd, buf + done, size_t(len - done), off + done);
        if (w <= 0)
            return false;
        done += w;
    }
    return true;
}

} // namespace nubo::transfer
