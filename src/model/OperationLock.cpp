#include "model/OperationLock.h"

#include "l10n/Tr.h"
#include "model/Refusals.h"
#include "model/Roads.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tandrel {
namespace {

constexpr std::chrono::milliseconds noticeAfter { 3000 };
constexpr std::chrono::milliseconds pollEvery { 25 };

// The descriptor still names the folder at its path: an uninstall that removed the
// folder while this process waited leaves a lock on nothing.
bool stillAtPath(int fd, const QByteArray &path)
{
    struct stat held = {};
    struct stat named = {};
    return ::fstat(fd, &held) == 0 && ::stat(path.constData(), &named) == 0 && held.st_dev == named.st_dev
        && held.st_ino == named.st_ino;
}

} // namespace

QString OperationLock::folder()
{
    return roads().last()->dataRoot();
}

OperationLock::OperationLock(std::chrono::milliseconds patience, const std::function<void()> &waiting)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    bool told = false;
    const QString path = folder();
    const QByteArray native = QFile::encodeName(path);
    for (;;) {
        requireFolder(path);
        int fd = -1;
        do {
            fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0 && errno == ENOENT)
            continue; // removed between the two steps: made again above
        if (fd < 0)
            throw FileSystemError(path + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno)));
        for (;;) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                if (stillAtPath(fd, native)) {
                    m_fd = fd;
                    return;
                }
                break;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) {
                ::close(fd);
                throw FileSystemError(path + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno)));
            }
            const auto waited = Clock::now() - start;
            if (!told && waited >= noticeAfter && waiting) {
                told = true;
                waiting();
            }
            if (waited >= patience) {
                ::close(fd);
                throw TandrelError::msg(tandrel::tr(
                    QStringLiteral("Otro proceso de Tandrel está creando o eliminando instancias. "
                                   "Inténtalo de nuevo cuando termine."),
                    QStringLiteral("Another Tandrel process is creating or deleting instances. "
                                   "Try again when it has finished.")));
            }
            QThread::msleep(ulong(pollEvery.count()));
        }
        ::close(fd);
    }
}

OperationLock::~OperationLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing releases the lock
}

} // namespace tandrel
