#pragma once

#include <QtGlobal>
#include <cerrno>
#include <unistd.h>

namespace nubo::transfer {

// A file descriptor closed when it goes.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// Reads or writes exactly `len` bytes at `off` (safe from several threads on one descriptor);
// on failure errno tells why.
inline bool readFully(int fd, char* buf, qint64 len, qint64 off) {
    for (qint64 done = 0; done < len;) {
        const ssize_t r = ::pread(fd, buf + done, size_t(len - done), off + done);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            if (r == 0)
                errno = EIO; // the file ended early
            return false;
        }
        done += r;
    }
    return true;
}

inline bool writeFully(int fd, const char* buf, qint64 len, qint64 off) {
    for (qint64 done = 0; done < len;) {
        const ssize_t w = ::pwrite(fd, buf + done, size_t(len - done), off + done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            if (w == 0)
                errno = ENOSPC; // nothing written and no error: the disk took no more
            return false;
        }
        done += w;
    }
    return true;
}

} // namespace nubo::transfer
