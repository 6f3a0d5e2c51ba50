#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <fts.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tandrel {

FileSystemError::FileSystemError(QString description)
    : m_description(std::move(description))
    , m_utf8(m_description.toUtf8())
{
}

namespace fs {
namespace {

namespace stdfs = std::filesystem;

[[noreturn]] void throwCode(const std::error_code &code)
{
    throw FileSystemError(QString::fromLocal8Bit(code.message()));
}

[[noreturn]] void throwErrno(int error)
{
    throwCode(std::error_code(error, std::generic_category()));
}

// The system's description after the path it concerns, so a message names both.
[[noreturn]] void throwAt(const QString &path, int error)
{
    throw FileSystemError(path + QStringLiteral(": ")
        + QString::fromLocal8Bit(std::error_code(error, std::generic_category()).message()));
}

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

stdfs::path stdPath(const QString &path)
{
    return stdfs::path(nativePath(path).toStdString());
}

// Closes a descriptor on every way out of a scope.
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    // Closes now, so a failure of close (a delayed write error) can be reported.
    int release()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd = -1;
};

int openRetrying(const QByteArray &path, int flags, mode_t mode = 0)
{
    int fd = -1;
    do {
        fd = ::open(path.constData(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Writes every byte, going on after a short write; false with errno set on failure.
bool writeAll(int fd, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        done += count;
    }
    return true;
}

} // namespace

std::optional<QString> homeDirectory()
{
    // A HOME that is not text in the system's encoding would turn into another path.
    const QByteArray raw = qgetenv("HOME");
    if (QFile::encodeName(QFile::decodeName(raw)) != raw)
        return std::nullopt;
    const QString home = QDir::cleanPath(QFile::decodeName(raw));
    if (home.isEmpty() || home == QLatin1String(".") || !home.startsWith(QLatin1Char('/'))
        || home == QLatin1String("/"))
        return std::nullopt;
    return home;
}

ItemKind itemKind(const QString &path)
{
    struct stat info = {};
    if (::lstat(nativePath(path).constData(), &info) != 0)
        return ItemKind::Missing;
    if (S_ISLNK(info.st_mode))
        return ItemKind::Link;
    if (S_ISDIR(info.st_mode))
        return ItemKind::Directory;
    if (S_ISREG(info.st_mode))
        return ItemKind::File;
    return ItemKind::Other;
}

QString resolvedPath(const QString &path)
{
    char *resolved = ::realpath(nativePath(path).constData(), nullptr);
    if (!resolved)
        return {};
    const QString result = QFile::decodeName(resolved);
    std::free(resolved);
    return result;
}

qint64 diskUsage(const QString &path)
{
    QByteArray native = QFile::encodeName(path);
    char *roots[] = { native.data(), nullptr };
    FTS *walk = ::fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR | FTS_XDEV, nullptr);
    if (!walk)
        return 0;
    qint64 bytes = 0;
    QSet<QPair<quint64, quint64>> counted; // files with several hard links, by device and inode
    while (const FTSENT *entry = ::fts_read(walk)) {
        if (entry->fts_info == FTS_DP || entry->fts_info == FTS_DNR || entry->fts_info == FTS_ERR
            || entry->fts_info == FTS_NS || !entry->fts_statp)
            continue;
        const struct stat &status = *entry->fts_statp;
        if (status.st_nlink > 1 && !S_ISDIR(status.st_mode)) {
            const QPair<quint64, quint64> file(quint64(status.st_dev), quint64(status.st_ino));
            if (counted.contains(file))
                continue;
            counted.insert(file);
        }
        bytes += qint64(status.st_blocks) * 512;
    }
    ::fts_close(walk);
    return bytes;
}

QStringList contentsOfDirectory(const QString &folder)
{
    std::error_code code;
    stdfs::directory_iterator it(stdPath(folder), code);
    if (code)
        throwCode(code);
    QStringList entries;
    for (const stdfs::directory_iterator end; it != end; it.increment(code)) {
        if (code)
            throwCode(code);
        entries.append(QFile::decodeName(QByteArray::fromStdString(it->path().native())));
    }
    if (code)
        throwCode(code);
    return entries;
}

bool fileExists(const QString &path)
{
    struct stat info = {};
    return ::lstat(nativePath(path).constData(), &info) == 0;
}

bool isExecutableFile(const QString &path)
{
    const QByteArray native = nativePath(path);
    struct stat info = {};
    return ::stat(native.constData(), &info) == 0 && S_ISREG(info.st_mode)
        && ::access(native.constData(), X_OK) == 0;
}

void createDirectory(const QString &folder)
{
    std::error_code code;
    stdfs::create_directories(stdPath(folder), code);
    if (!code)
        return;
    // Name the part of the path that is in the way rather than the folder asked for.
    QString blocker = QDir::cleanPath(folder);
    while (blocker.size() > 1 && itemKind(blocker) == ItemKind::Missing)
        blocker = blocker.left(qMax<qsizetype>(blocker.lastIndexOf(QLatin1Char('/')), 1));
    struct stat info = {};
    if (::stat(nativePath(blocker).constData(), &info) != 0)
        throwAt(blocker, errno); // a link to nothing
    if (!S_ISDIR(info.st_mode))
        throwAt(blocker, ENOTDIR);
    throwAt(folder, code.value());
}

void setPosixPermissions(const QString &path, int mode)
{
    if (::chmod(nativePath(path).constData(), mode_t(mode) & 07777) != 0)
        throwErrno(errno);
}

void removeItem(const QString &path)
{
    // A trailing separator or a "." or ".." component makes the system resolve the
    // last link ("link/" is the folder it points to), so such a path could reach into
    // a linked folder. Accept only plain paths; never the root.
    QString plain = path;
    while (plain.size() > 1 && plain.endsWith(QLatin1Char('/')))
        plain.chop(1);
    const QStringList parts = plain.split(QLatin1Char('/'));
    if (plain.isEmpty() || plain == QLatin1String("/") || parts.contains(QLatin1String("."))
        || parts.contains(QLatin1String("..")))
        throwErrno(EINVAL);

    const QByteArray native = nativePath(plain);
    struct stat info = {};
    if (::lstat(native.constData(), &info) != 0)
        throwErrno(errno); // remove_all treats a missing path as success
    if (!S_ISDIR(info.st_mode)) {
        // A file or a link (to anything): unlink removes the entry itself.
        if (::unlink(native.constData()) != 0)
            throwErrno(errno);
        return;
    }
    // remove_all looks at every entry without following links and removes links as links.
    std::error_code code;
    stdfs::remove_all(stdfs::path(native.toStdString()), code);
    if (code)
        throwCode(code);
}

void removeEmptyDirectory(const QString &path)
{
    if (::rmdir(nativePath(path).constData()) != 0)
        throwErrno(errno);
}

void trashItem(const QString &path)
{
    if (!fileExists(path))
        throwErrno(ENOENT);
#if !defined(Q_OS_DARWIN)
    // Qt's freedesktop trash gives up on the home trash when the data folder is missing
    // and then writes "files" and "info" into the current folder. Make sure the home
    // trash is there first; the freedesktop rules ask the implementation to create it.
    const QString trash
        = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    if (!fileExists(trash)) {
        createDirectory(trash);
        setPosixPermissions(trash, 0700);
    }
    createDirectory(trash + QStringLiteral("/files"));
    createDirectory(trash + QStringLiteral("/info"));
#endif
    QFile file(path);
    if (!file.moveToTrash())
        throw FileSystemError(file.errorString());
}

QByteArray readFile(const QString &path, qint64 maxSize)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below anyway.
    const int fd = openRetrying(nativePath(path), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        throwErrno(errno);
    Descriptor descriptor(fd);
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        throwErrno(errno);
    if (S_ISDIR(info.st_mode))
        throwErrno(EISDIR);
    if (!S_ISREG(info.st_mode))
        throwErrno(EINVAL);
    if (info.st_size > qMax<qint64>(maxSize, 0))
        throwErrno(EFBIG);

    // The size was checked before any allocation; a file growing meanwhile is cut at it.
    const qint64 size = info.st_size;
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const ssize_t count = ::read(fd, bytes.data() + done, size_t(size - done));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throwErrno(errno);
        }
        if (count == 0)
            break; // shrank meanwhile
        done += count;
    }
    bytes.truncate(done);
    return bytes;
}

void writeTextAtomically(const QString &path, const QString &text)
{
    // Written whole to a new file beside the destination, then renamed over it. Every
    // write is checked: a write cut short (a full disk, a file-size limit) is an error,
    // never a shorter file put in place.
    const QByteArray target = nativePath(path);
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target + ".tandrel-" + QByteArray::number(qint64(::getpid())) + '-'
            + QByteArray::number(QRandomGenerator::global()->generate());
        fd = openRetrying(temporary, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd < 0 && errno != EEXIST)
            throwAt(path, errno);
    }
    if (fd < 0)
        throwAt(path, EEXIST);
    Descriptor descriptor(fd);
    const auto fail = [&temporary, &path](int error) {
        ::unlink(temporary.constData());
        throwAt(path, error);
    };
    const QByteArray utf8 = text.toUtf8();
    if (!writeAll(fd, utf8) || ::fsync(fd) != 0)
        fail(errno);
    if (descriptor.release() != 0)
        fail(errno);
    if (::rename(temporary.constData(), target.constData()) != 0)
        fail(errno);
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    const int fd = openRetrying(nativePath(path), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0)
        throwAt(path, errno);
    Descriptor descriptor(fd);
    if (!writeAll(fd, bytes))
        throwAt(path, errno);
    if (descriptor.release() != 0)
        throwAt(path, errno);
}

NewFile::NewFile(const QString &path)
    : m_path(path)
{
    const QByteArray target = nativePath(path);
    const QByteArray folder = target.left(std::max<qsizetype>(target.lastIndexOf('/'), 1));
#if defined(O_TMPFILE)
    do {
        m_fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd >= 0)
        return;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        throwAt(path, errno);
#endif
    const qsizetype slash = target.lastIndexOf('/');
    for (int attempt = 0; m_fd < 0 && attempt < 100; ++attempt) {
        m_temporary = target.left(slash + 1) + '.' + target.mid(slash + 1) + ".tandrel-"
            + QByteArray::number(qint64(::getpid())) + '-'
            + QByteArray::number(QRandomGenerator::global()->generate());
        m_fd = openRetrying(m_temporary, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (m_fd < 0 && errno != EEXIST)
            throwAt(path, errno);
    }
    if (m_fd < 0)
        throwAt(path, EEXIST);
}

NewFile::~NewFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_named && !m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
}

bool NewFile::commit()
{
    if (::fsync(m_fd) != 0)
        throwAt(m_path, errno);
    const QByteArray target = nativePath(m_path);
    if (m_temporary.isEmpty()) {
#if defined(O_TMPFILE)
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST)
                return false;
            throwAt(m_path, errno);
        }
#endif
    } else if (!renameNoReplace(QFile::decodeName(m_temporary), m_path)) {
        return false;
    }
    m_named = true;
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0)
        throwAt(m_path, errno);
    return true;
}

void renameItem(const QString &from, const QString &to)
{
    if (::rename(nativePath(from).constData(), nativePath(to).constData()) != 0)
        throwAt(to, errno);
}

void exchangeItems(const QString &from, const QString &to)
{
    const QByteArray source = nativePath(from);
    const QByteArray target = nativePath(to);
#if defined(Q_OS_DARWIN)
    if (::renamex_np(source.constData(), target.constData(), RENAME_SWAP) == 0)
        return;
#else
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0)
        return;
#endif
    if (errno != EINVAL && errno != ENOTSUP && errno != ENOSYS)
        throwAt(to, errno);
    struct stat info = {};
    if (::lstat(source.constData(), &info) != 0)
        throwAt(from, errno);
    if (S_ISDIR(info.st_mode))
        throwAt(to, ENOTSUP);
    renameItem(from, to);
}

bool renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray source = nativePath(from);
    const QByteArray target = nativePath(to);
#if defined(Q_OS_DARWIN)
    if (::renamex_np(source.constData(), target.constData(), RENAME_EXCL) == 0)
        return true;
#else
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
#endif
    if (errno == EEXIST)
        return false;
    if (errno != EINVAL && errno != ENOTSUP && errno != ENOSYS)
        throwAt(to, errno);
    // A file system without the exclusive rename: a hard link is exclusive for files;
    // folders are checked first, which the operation lock makes safe between Tandrels.
    struct stat info = {};
    if (::lstat(source.constData(), &info) != 0)
        throwAt(from, errno);
    if (!S_ISDIR(info.st_mode)) {
        if (::link(source.constData(), target.constData()) != 0) {
            if (errno == EEXIST)
                return false;
            throwAt(to, errno);
        }
        ::unlink(source.constData());
        return true;
    }
    if (fileExists(to))
        return false;
    renameItem(from, to);
    return true;
}

} // namespace fs
} // namespace tandrel
