// An instance's data in one file, and back: a tar archive compressed with zstd, written
// and read through libarchive; the items themselves are walked and written here, through
// descriptors, so that nothing is ever read or written through a link.
#include "model/InstanceArchive.h"

#include "l10n/Tr.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <archive.h>
#include <archive_entry.h>

#include <memory>
#include <vector>

#include <fcntl.h>
#include <fts.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#if defined(__APPLE__)
#include <xlocale.h>
#endif

namespace tandrel {
namespace {

// What an archive may unpack to: never more than this, nor more than the disk has room for
// with some to spare, nor a thousand times the bytes read once past the first 64 MiB.
constexpr qint64 hardCap = qint64(64) * 1024 * 1024 * 1024;
constexpr qint64 diskReserve = 256 * 1024 * 1024;
constexpr qint64 ratioGrace = 64 * 1024 * 1024;
constexpr qint64 maxRatio = 1000;
constexpr qint64 maxEntries = 500'000;
// The names remembered to find a member given twice stay within this many bytes.
constexpr qint64 maxNameBytes = 64 * 1024 * 1024;
constexpr qsizetype maxPath = 4096;
constexpr qsizetype maxDepth = 256;
constexpr size_t blockSize = 256 * 1024;
constexpr qint64 progressStep = 4 * 1024 * 1024;

TandrelError importRefusal(const QString &why)
{
    return TandrelError::msg(tandrel::tr(QStringLiteral("No se puede importar el archivo: ") + why,
        QStringLiteral("Can't import the archive: ") + why));
}

bool isUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    return !decoder.hasError() && !bytes.contains('\0');
}

void checkCancelled(const Transfer &transfer)
{
    if (transfer.cancelled && transfer.cancelled->load())
        throw TandrelError::msg(transferCancelledText());
}

// Progress, told at most every few megabytes.
class Meter
{
public:
    Meter(const Transfer &transfer, qint64 total)
        : m_transfer(transfer)
        , m_total(total)
    {
        report(0, true);
    }
    void report(qint64 done, bool now = false)
    {
        checkCancelled(m_transfer);
        if (m_transfer.progress && (now || done - m_told >= progressStep)) {
            m_told = done;
            m_transfer.progress(done, std::max(m_total, done));
        }
    }

private:
    const Transfer &m_transfer;
    qint64 m_total = 0;
    qint64 m_told = 0;
};

// libarchive converts names through the thread's locale, and in one that is not UTF-8 (the
// "C" of a service or a bare shell) a name beyond ASCII crashes its writer and makes its
// reader refuse. Names are UTF-8 here whatever the locale: while it lives, and before any
// archive handle exists, this thread reads characters as UTF-8, its other categories kept.
class Utf8Characters
{
public:
    Utf8Characters()
    {
        if (QByteArray(::nl_langinfo(CODESET)) == "UTF-8")
            return;
        for (const char *name : { "C.UTF-8", "UTF-8", "en_US.UTF-8" }) {
            const locale_t base = ::duplocale(::uselocale(locale_t(0)));
            m_locale = base ? ::newlocale(LC_CTYPE_MASK, name, base) : locale_t(0);
            if (m_locale) {
                m_previous = ::uselocale(m_locale);
                return;
            }
            if (base)
                ::freelocale(base);
        }
    }
    ~Utf8Characters()
    {
        if (m_locale) {
            ::uselocale(m_previous);
            ::freelocale(m_locale);
        }
    }
    Utf8Characters(const Utf8Characters &) = delete;
    Utf8Characters &operator=(const Utf8Characters &) = delete;

private:
    locale_t m_locale = locale_t(0);
    locale_t m_previous = locale_t(0);
};

struct ReadArchive
{
    archive *handle = archive_read_new();
    ~ReadArchive() { archive_read_free(handle); }
};
struct WriteArchive
{
    archive *handle = archive_write_new();
    ~WriteArchive() { archive_write_free(handle); }
};

// One item of a data folder, as the walker finds it or an archive holds it.
struct Item
{
    enum class Kind { File, Directory, Link };
    QByteArray path; // relative to the data folder, UTF-8; empty for the folder itself
    Kind kind = Kind::File;
    mode_t permissions = 0644;
    qint64 modified = 0; // seconds since the epoch
    qint64 size = 0; // of a file
    QByteArray linkTarget;
};
// Reads up to `size` bytes of the item's contents into `buffer`; 0 at the end; throws on failure.
using ItemReader = std::function<qint64(char *buffer, size_t size)>;

// Every item of a folder, the folder first and each folder before what it holds, with
// a reader for each file. Links are items, never followed; sockets, FIFOs and devices are
// left out; a mount point inside is not crossed.
void walkData(const QString &folder, const std::function<void(const Item &, const ItemReader &)> &visit)
{
    const QByteArray root = QFile::encodeName(folder);
    char *paths[] = { const_cast<char *>(root.constData()), nullptr };
    std::unique_ptr<FTS, int (*)(FTS *)> walk(
        ::fts_open(paths, FTS_PHYSICAL | FTS_NOCHDIR | FTS_XDEV, nullptr), &::fts_close);
    if (!walk)
        throw FileSystemError(folder + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno)));
    for (;;) {
        errno = 0;
        FTSENT *entry = ::fts_read(walk.get());
        if (!entry) {
            if (errno != 0)
                throw FileSystemError(
                    folder + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno)));
            return;
        }
        const QByteArray path(entry->fts_path);
        const QByteArray relative = path.size() > root.size() ? path.mid(root.size() + 1) : QByteArray();
        const auto failed = [&path](int error) {
            return FileSystemError(
                QFile::decodeName(path) + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(error)));
        };
        if (entry->fts_info == FTS_DNR || entry->fts_info == FTS_ERR || entry->fts_info == FTS_NS)
            throw failed(entry->fts_errno);
        if (entry->fts_info == FTS_DP || entry->fts_info == FTS_DC || entry->fts_info == FTS_DEFAULT)
            continue;
        if (!isUtf8(relative))
            throw TandrelError::msg(tandrel::tr(QStringLiteral("El nombre de \"") + QFile::decodeName(path)
                    + QStringLiteral("\" no es texto UTF-8; cámbialo antes de copiar la instancia."),
                QStringLiteral("The name of \"") + QFile::decodeName(path)
                    + QStringLiteral("\" is not UTF-8 text; rename it before copying the instance.")));
        Item item;
        item.path = relative;
        item.permissions = entry->fts_statp->st_mode & 07777;
        item.modified = entry->fts_statp->st_mtime;
        if (entry->fts_info == FTS_D) {
            item.kind = Item::Kind::Directory;
            visit(item, {});
        } else if (entry->fts_info == FTS_SL || entry->fts_info == FTS_SLNONE) {
            item.kind = Item::Kind::Link;
            std::vector<char> target(size_t(entry->fts_statp->st_size) + 2);
            const ssize_t length = ::readlink(entry->fts_accpath, target.data(), target.size());
            if (length < 0 || size_t(length) >= target.size())
                throw failed(length < 0 ? errno : EIO);
            item.linkTarget = QByteArray(target.data(), length);
            visit(item, {});
        } else if (entry->fts_info == FTS_F) {
            const int fd = ::open(entry->fts_accpath, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
            if (fd < 0)
                throw failed(errno);
            const std::unique_ptr<int, void (*)(int *)> closer(new int(fd), [](int *f) {
                ::close(*f);
                delete f;
            });
            struct stat info = {};
            if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
                continue; // replaced meanwhile by something that is not a file
            item.size = info.st_size;
            visit(item, [fd, &failed](char *buffer, size_t size) -> qint64 {
                ssize_t count = 0;
                do {
                    count = ::read(fd, buffer, size);
                } while (count < 0 && errno == EINTR);
                if (count < 0)
                    throw failed(errno);
                return count;
            });
        }
    }
}

// Writes items below one folder through descriptors: every folder on the way is opened
// without following a link, a file is only ever created, never written over, and a link
// is made only when it points inside.
class SafeTree
{
public:
    SafeTree(const QString &into, const Transfer &transfer, qint64 total)
        : m_into(into)
        , m_meter(transfer, total)
    {
        m_root = ::open(QFile::encodeName(into).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (m_root < 0)
            throw FileSystemError(into + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno)));
        struct statvfs disk = {};
        m_cap = hardCap;
        if (::fstatvfs(m_root, &disk) == 0)
            m_cap = std::min(m_cap, qint64(disk.f_bavail) * qint64(disk.f_frsize) - diskReserve);
    }
    ~SafeTree()
    {
        if (m_parent >= 0 && m_parent != m_root)
            ::close(m_parent);
        ::close(m_root);
    }
    SafeTree(const SafeTree &) = delete;
    SafeTree &operator=(const SafeTree &) = delete;

    // Bytes read from the source so far, for the ratio of an archive; zero for a folder.
    void setSourceBytes(std::function<qint64()> sourceBytes) { m_sourceBytes = std::move(sourceBytes); }
    UnpackSummary summary() const { return m_summary; }

    void put(const Item &item, const ItemReader &read)
    {
        if (++m_entries > maxEntries)
            throw importRefusal(tandrel::tr(
                QStringLiteral("tiene demasiados elementos."), QStringLiteral("it holds too many items.")));
        if (item.path.isEmpty())
            return; // the folder itself, which exists
        const QList<QByteArray> parts = components(item.path);
        if (m_seen.contains(item.path))
            throw importRefusal(tandrel::tr(QStringLiteral("contiene dos veces \"")
                    + QString::fromUtf8(item.path) + QStringLiteral("\"."),
                QStringLiteral("it holds \"") + QString::fromUtf8(item.path) + QStringLiteral("\" twice.")));
        m_nameBytes += item.path.size();
        if (m_nameBytes > maxNameBytes)
            throw importRefusal(tandrel::tr(
                QStringLiteral("tiene demasiados elementos."), QStringLiteral("it holds too many items.")));
        m_seen.insert(item.path);
        const int parent = parentOf(parts);
        const QByteArray &name = parts.last();
        switch (item.kind) {
        case Item::Kind::Directory:
            if (::mkdirat(parent, name.constData(), (item.permissions & 0777) | 0700) != 0) {
                if (errno != EEXIST)
                    throw failedAt(item.path, errno);
                // A folder the new instance has already (its home) takes what goes in it.
                struct stat info = {};
                if (::fstatat(parent, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0
                    || !S_ISDIR(info.st_mode))
                    ++m_summary.existing;
            }
            return;
        case Item::Kind::Link:
            if (!pointsInside(parts, item.linkTarget)) {
                ++m_summary.outwardLinks;
                return;
            }
            if (::symlinkat(item.linkTarget.constData(), parent, name.constData()) != 0) {
                if (errno != EEXIST)
                    throw failedAt(item.path, errno);
                ++m_summary.existing;
            }
            return;
        case Item::Kind::File:
            writeFile(parent, name, item, read);
            return;
        }
    }

private:
    FileSystemError failedAt(const QByteArray &path, int error) const
    {
        return FileSystemError(m_into + QLatin1Char('/') + QString::fromUtf8(path) + QStringLiteral(": ")
            + QString::fromLocal8Bit(strerror(error)));
    }

    static QList<QByteArray> components(const QByteArray &path)
    {
        const QList<QByteArray> parts = path.split('/');
        const bool valid = path.size() <= maxPath && parts.size() <= maxDepth && isUtf8(path)
            && std::all_of(parts.cbegin(), parts.cend(), [](const QByteArray &part) {
                   return !part.isEmpty() && part != "." && part != ".." && part.size() <= 255;
               });
        if (!valid)
            throw importRefusal(tandrel::tr(QStringLiteral("un nombre no es válido: \"")
                    + QString::fromUtf8(path).toHtmlEscaped() + QStringLiteral("\"."),
                QStringLiteral("a name is not valid: \"") + QString::fromUtf8(path).toHtmlEscaped()
                    + QStringLiteral("\".")));
        return parts;
    }

    // A relative target that, followed from the link's folder, stays inside. Its ".." come
    // first, where they climb the real folders the link is in: after a name, which may be a
    // link itself, they would climb from wherever that leads ("here/here/../x", "here" -> ".").
    static bool pointsInside(const QList<QByteArray> &linkParts, const QByteArray &target)
    {
        if (target.isEmpty() || target.startsWith('/') || target.contains('\0') || target.size() > maxPath)
            return false;
        qsizetype depth = linkParts.size() - 1;
        bool named = false;
        for (const QByteArray &part : target.split('/')) {
            if (part == ".." && (named || --depth < 0))
                return false;
            named = named || (part != ".." && !part.isEmpty() && part != ".");
        }
        return true;
    }

    // The open folder that holds the item, made on the way when the archive named none.
    int parentOf(const QList<QByteArray> &parts)
    {
        const QByteArray parentPath = parts.mid(0, parts.size() - 1).join('/');
        if (m_parent >= 0 && parentPath == m_parentPath)
            return m_parent;
        if (m_parent >= 0 && m_parent != m_root)
            ::close(m_parent);
        m_parent = -1;
        int fd = m_root;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            const char *name = parts[i].constData();
            int next = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0 && errno == ENOENT && ::mkdirat(fd, name, 0700) == 0)
                next = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            const int error = errno;
            if (fd != m_root)
                ::close(fd);
            if (next < 0)
                throw failedAt(parts.mid(0, i + 1).join('/'), error == ELOOP ? ENOTDIR : error);
            fd = next;
        }
        m_parent = fd;
        m_parentPath = parentPath;
        return fd;
    }

    void writeFile(int parent, const QByteArray &name, const Item &item, const ItemReader &read)
    {
        const int fd = ::openat(parent, name.constData(),
            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, (item.permissions & 0777) | 0600);
        if (fd < 0) {
            if (errno != EEXIST)
                throw failedAt(item.path, errno);
            ++m_summary.existing;
            return;
        }
        const std::unique_ptr<int, void (*)(int *)> closer(new int(fd), [](int *f) {
            ::close(*f);
            delete f;
        });
        std::vector<char> buffer(blockSize);
        qint64 written = 0;
        for (;;) {
            const qint64 count = read(buffer.data(), buffer.size());
            if (count <= 0)
                break;
            written += count;
            m_total += count;
            if (written > item.size)
                throw importRefusal(tandrel::tr(QStringLiteral("\"") + QString::fromUtf8(item.path)
                        + QStringLiteral("\" es más largo de lo que dice."),
                    QStringLiteral("\"") + QString::fromUtf8(item.path)
                        + QStringLiteral("\" is longer than it claims.")));
            checkSize();
            for (qint64 done = 0; done < count;) {
                const ssize_t wrote = ::write(fd, buffer.data() + done, size_t(count - done));
                if (wrote < 0 && errno == EINTR)
                    continue;
                if (wrote < 0)
                    throw failedAt(item.path, errno);
                done += wrote;
            }
            m_meter.report(m_sourceBytes ? m_sourceBytes() : m_total);
        }
        const struct timespec times[2] = { { 0, UTIME_OMIT }, { time_t(item.modified), 0 } };
        ::futimens(fd, times);
    }

    void checkSize() const
    {
        if (m_total > m_cap)
            throw TandrelError::msg(
                tandrel::tr(QStringLiteral("No hay sitio en el disco para los datos de la instancia."),
                    QStringLiteral("There isn't room on the disk for the instance's data.")));
        if (m_sourceBytes && m_total > ratioGrace
            && m_total > maxRatio * std::max<qint64>(m_sourceBytes(), 1))
            throw importRefusal(tandrel::tr(
                QStringLiteral("se descomprime a más de mil veces su tamaño (una bomba de descompresión)."),
                QStringLiteral("it unpacks to more than a thousand times its size (a decompression bomb).")));
    }

    QString m_into;
    Meter m_meter;
    int m_root = -1;
    int m_parent = -1;
    QByteArray m_parentPath;
    qint64 m_cap = hardCap;
    qint64 m_total = 0;
    qint64 m_entries = 0;
    QSet<QByteArray> m_seen;
    qint64 m_nameBytes = 0;
    std::function<qint64()> m_sourceBytes;
    UnpackSummary m_summary;
};

// Opens an archive for reading: tar in any of the compressions built into libarchive (no
// outside programs), names read as UTF-8.
void openForReading(ReadArchive &reader, const QString &file)
{
    archive *a = reader.handle;
    archive_read_support_format_tar(a);
    for (const auto support :
        { archive_read_support_filter_gzip, archive_read_support_filter_bzip2, archive_read_support_filter_xz,
            archive_read_support_filter_lzma, archive_read_support_filter_zstd,
            archive_read_support_filter_lz4, archive_read_support_filter_compress })
        support(a);
    archive_read_set_options(a, "hdrcharset=UTF-8");
    if (archive_read_open_filename(a, QFile::encodeName(file).constData(), blockSize) != ARCHIVE_OK)
        throw importRefusal(QString::fromUtf8(archive_error_string(a)));
}

QString archiveError(archive *a)
{
    const char *text = archive_error_string(a);
    return text ? QString::fromUtf8(text)
                : tandrel::tr(QStringLiteral("está dañado."), QStringLiteral("it is damaged."));
}

// The next header, or false at the end; a damaged archive refuses.
bool nextHeader(archive *a, archive_entry *&entry)
{
    const int status = archive_read_next_header(a, &entry);
    if (status == ARCHIVE_EOF)
        return false;
    if (status != ARCHIVE_OK)
        throw importRefusal(archiveError(a));
    return true;
}

// The manifest, which must come first.
QByteArray readManifest(archive *a)
{
    archive_entry *entry = nullptr;
    const char *name = nextHeader(a, entry) ? archive_entry_pathname_utf8(entry) : nullptr;
    if (!name || QByteArray(name) != archiveManifestName || archive_entry_filetype(entry) != AE_IFREG
        || archive_entry_size(entry) > maxArchiveManifestSize)
        throw importRefusal(tandrel::tr(QStringLiteral("no es una instancia exportada por Tandrel."),
            QStringLiteral("it is not an instance exported by Tandrel.")));
    QByteArray manifest(qsizetype(archive_entry_size(entry)), Qt::Uninitialized);
    for (qsizetype done = 0; done < manifest.size();) {
        const la_ssize_t count = archive_read_data(a, manifest.data() + done, size_t(manifest.size() - done));
        if (count <= 0)
            throw importRefusal(archiveError(a));
        done += count;
    }
    return manifest;
}

} // namespace

QString transferCancelledText()
{
    return tandrel::tr(QStringLiteral("Cancelado."), QStringLiteral("Cancelled."));
}

void writeInstanceArchive(
    const QString &file, const QByteArray &manifest, const QString &dataDir, const Transfer &transfer)
{
    const Utf8Characters utf8;
    fs::NewFile out(file);
    WriteArchive writer;
    archive *a = writer.handle;
    const auto check = [a, &file](int status) {
        if (status < ARCHIVE_WARN)
            throw FileSystemError(file + QStringLiteral(": ") + QString::fromUtf8(archive_error_string(a)));
    };
    check(archive_write_set_format_pax_restricted(a));
    check(archive_write_add_filter_zstd(a));
    archive_write_set_filter_option(a, "zstd", "compression-level", "3");
    archive_write_set_bytes_in_last_block(a, 1);
    check(archive_write_open_fd(a, out.descriptor()));

    const std::unique_ptr<archive_entry, void (*)(archive_entry *)> entry(
        archive_entry_new(), archive_entry_free);
    const auto header
        = [&](const QByteArray &path, mode_t type, mode_t permissions, qint64 modified, qint64 size) {
              archive_entry_clear(entry.get());
              archive_entry_update_pathname_utf8(entry.get(), path.constData());
              archive_entry_set_filetype(entry.get(), type);
              archive_entry_set_perm(entry.get(), permissions);
              archive_entry_set_mtime(entry.get(), time_t(modified), 0);
              archive_entry_set_size(entry.get(), size);
          };
    header(archiveManifestName, AE_IFREG, 0644, QDateTime::currentSecsSinceEpoch(), manifest.size());
    check(archive_write_header(a, entry.get()));
    if (archive_write_data(a, manifest.constData(), size_t(manifest.size())) != manifest.size())
        check(ARCHIVE_FATAL);

    Meter meter(transfer, fs::diskUsage(dataDir));
    qint64 done = 0;
    std::vector<char> buffer(blockSize);
    walkData(dataDir, [&](const Item &item, const ItemReader &read) {
        const QByteArray path = item.path.isEmpty() ? QByteArray("data") : "data/" + item.path;
        switch (item.kind) {
        case Item::Kind::Directory:
            header(path, AE_IFDIR, item.permissions, item.modified, 0);
            check(archive_write_header(a, entry.get()));
            return;
        case Item::Kind::Link:
            header(path, AE_IFLNK, 0777, item.modified, 0);
            archive_entry_update_symlink_utf8(entry.get(), item.linkTarget.constData());
            check(archive_write_header(a, entry.get()));
            return;
        case Item::Kind::File:
            break;
        }
        header(path, AE_IFREG, item.permissions, item.modified, item.size);
        check(archive_write_header(a, entry.get()));
        // A file that grows while it is read is cut at the size its header gave, and one
        // that shrinks is filled with zeros: the archive stays readable either way.
        qint64 left = item.size;
        while (left > 0) {
            qint64 count = read(buffer.data(), size_t(std::min<qint64>(left, qint64(buffer.size()))));
            if (count <= 0) {
                count = std::min<qint64>(left, qint64(buffer.size()));
                std::fill(buffer.begin(), buffer.begin() + count, '\0');
            }
            if (archive_write_data(a, buffer.data(), size_t(count)) != count)
                check(ARCHIVE_FATAL);
            left -= count;
            done += count;
            meter.report(done);
        }
    });
    check(archive_write_close(a));
    meter.report(done, true);
    if (!out.commit())
        throw TandrelError::msg(tandrel::tr(QStringLiteral("Ya existe \"") + file + QStringLiteral("\"."),
            QStringLiteral("\"") + file + QStringLiteral("\" already exists.")));
}

QByteArray readArchiveManifest(const QString &file)
{
    const Utf8Characters utf8;
    ReadArchive reader;
    openForReading(reader, file);
    return readManifest(reader.handle);
}

UnpackSummary unpackInstanceArchive(const QString &file, const QString &into, const Transfer &transfer)
{
    const Utf8Characters utf8;
    ReadArchive reader;
    openForReading(reader, file);
    archive *a = reader.handle;
    readManifest(a);
    SafeTree tree(into, transfer, QFileInfo(file).size());
    tree.setSourceBytes([a] { return qint64(archive_filter_bytes(a, -1)); });
    archive_entry *entry = nullptr;
    while (nextHeader(a, entry)) {
        const char *utf8 = archive_entry_pathname_utf8(entry);
        if (!utf8)
            throw importRefusal(tandrel::tr(
                QStringLiteral("un nombre no es texto UTF-8."), QStringLiteral("a name is not UTF-8 text.")));
        const QByteArray name(utf8);
        if (name != "data" && name != "data/" && !name.startsWith("data/"))
            throw importRefusal(
                tandrel::tr(QStringLiteral("contiene \"") + QString::fromUtf8(name).toHtmlEscaped()
                        + QStringLiteral("\", fuera de los datos de la instancia."),
                    QStringLiteral("it holds \"") + QString::fromUtf8(name).toHtmlEscaped()
                        + QStringLiteral("\", outside the instance's data.")));
        if (archive_entry_hardlink(entry))
            throw importRefusal(tandrel::tr(
                QStringLiteral("contiene un enlace duro."), QStringLiteral("it holds a hard link.")));
        Item item;
        item.path = name.mid(5);
        if (item.path.endsWith('/'))
            item.path.chop(1);
        item.permissions = archive_entry_perm(entry);
        item.modified = archive_entry_mtime(entry);
        item.size = archive_entry_size(entry);
        switch (archive_entry_filetype(entry)) {
        case AE_IFDIR:
            item.kind = Item::Kind::Directory;
            break;
        case AE_IFLNK: {
            item.kind = Item::Kind::Link;
            const char *target = archive_entry_symlink_utf8(entry);
            item.linkTarget = target ? QByteArray(target) : QByteArray();
            break;
        }
        case AE_IFREG:
            item.kind = Item::Kind::File;
            break;
        default:
            throw importRefusal(tandrel::tr(QStringLiteral("contiene un dispositivo, una FIFO o un socket."),
                QStringLiteral("it holds a device, a FIFO or a socket.")));
        }
        tree.put(item, [a](char *buffer, size_t size) -> qint64 {
            const la_ssize_t count = archive_read_data(a, buffer, size);
            if (count < 0)
                throw importRefusal(archiveError(a));
            return count;
        });
    }
    if (transfer.skipped)
        *transfer.skipped = tree.summary();
    return tree.summary();
}

UnpackSummary copyInstanceData(const QString &from, const QString &into, const Transfer &transfer)
{
    SafeTree tree(into, transfer, fs::diskUsage(from));
    walkData(from, [&tree](const Item &item, const ItemReader &read) { tree.put(item, read); });
    if (transfer.skipped)
        *transfer.skipped = tree.summary();
    return tree.summary();
}

} // namespace tandrel
