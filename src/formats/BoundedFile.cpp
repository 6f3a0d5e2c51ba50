#include "formats/BoundedFile.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tandrel {

std::optional<QByteArray> readBoundedFile(const QString &path, qint64 cap)
{
    int fd = -1;
    do {
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> result;
    struct stat info = {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= cap) {
        QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
        qsizetype done = 0;
        bool failed = false;
        while (done < bytes.size()) {
            const ssize_t count = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0) {
                failed = true;
                break;
            }
            if (count == 0)
                break; // shrank meanwhile
            done += count;
        }
        if (!failed) {
            bytes.truncate(done);
            result = std::move(bytes);
        }
    }
    ::close(fd);
    return result;
}

} // namespace tandrel
