#include "formats/SmallFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tandrel {
namespace {

// O_NONBLOCK: should the path name a FIFO after all, opening it must not wait for a writer;
// fstat then refuses it.
constexpr int openFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

int openRegular(const char *path, qint64 &size)
{
    int fd;
    do
        fd = ::open(path, openFlags);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -errno;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -EINVAL;
    }
    size = qint64(info.st_size);
    return fd;
}

} // namespace

int readSmallFile(const char *path, qint64 cap, QByteArray &buffer)
{
    buffer.resize(0); // keeps the allocation
    qint64 size = 0;
    const int fd = openRegular(path, size);
    if (fd < 0)
        return -fd;
    if (size > cap) {
        ::close(fd);
        return EFBIG;
    }
    // Asking for one byte more than the file holds tells a file that grew meanwhile, and
    // the read that gives the whole size is the last: no further call just to see the end.
    buffer.resize(qsizetype(size) + 1);
    char *data = buffer.data();
    qint64 total = 0;
    int error = 0;
    while (total < size) {
        const ssize_t got = ::read(fd, data + total, size_t(size + 1 - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = errno;
            break;
        }
        if (got == 0)
            break; // it shrank: what it holds now
        total += got;
    }
    ::close(fd);
    if (!error && total > size)
        error = EFBIG;
    buffer.resize(error ? 0 : qsizetype(total));
    return error;
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int ReadOnlyFile::open(const char *path)
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    const int fd = openRegular(path, m_size);
    if (fd < 0)
        return -fd;
    m_fd = fd;
    return 0;
}

bool ReadOnlyFile::readAt(qint64 offset, qint64 length, char *out) const
{
    if (m_fd < 0 || offset < 0 || length < 0)
        return false;
    while (length > 0) {
        const ssize_t got = ::pread(m_fd, out, size_t(length), off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        offset += got;
        length -= got;
    }
    return true;
}

} // namespace tandrel
