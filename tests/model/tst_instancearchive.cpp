// Instance archives: hostile ones are refused or defused without a byte landing outside the
// folder they unpack into, and honest ones come back as they were written.
#include "model/InstanceArchive.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>

#include <archive.h>
#include <archive_entry.h>

#include <locale.h>
#include <unistd.h>

using namespace tandrel;

namespace {

QByteArray noise(qsizetype size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Writes a tar archive from lines "<kind> <name> [<target>]", kinds: f a one-byte file, b a
// 100 KiB one, z 200 MB of zeros, d folder, l symbolic link, h hard link, c character device,
// p FIFO; "@" stands for `root`. The manifest comes first. `how`: "ustar" (raw names),
// "zstd", "cut" in the middle, "garbage" instead, "bare" without the manifest, "linked" with
// the last member's header turned into that of a hard link which carries data, as pax allows.
void craft(const QString &file, QByteArrayList lines, const QByteArray &how, const QByteArray &root)
{
    if (how != "bare")
        lines.prepend(QByteArray("f ") + archiveManifestName);
    archive *a = archive_write_new();
    if (how == "ustar")
        archive_write_set_format_ustar(a);
    else if (how == "linked")
        archive_write_set_format_pax(a); // a pax header before every member, times with nanoseconds
    else
        archive_write_set_format_pax_restricted(a);
    if (how == "zstd")
        archive_write_add_filter_zstd(a);
    QCOMPARE(archive_write_open_filename(a, QFile::encodeName(file).constData()), ARCHIVE_OK);
    for (const QByteArray &line : std::as_const(lines)) {
        const QByteArrayList words = QByteArray(line).replace('@', root).split(' ');
        const char kind = words[0][0];
        const qint64 size = kind == 'f' ? 1 : kind == 'b' ? 100 * 1024 : kind == 'z' ? 200'000'000 : 0;
        archive_entry *entry = archive_entry_new();
        archive_entry_copy_pathname(entry, words[1].constData());
        const QHash<char, mode_t> types { { 'd', AE_IFDIR }, { 'l', AE_IFLNK }, { 'c', AE_IFCHR },
            { 'p', AE_IFIFO } };
        archive_entry_set_filetype(entry, types.value(kind, AE_IFREG));
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_mtime(entry, 1'700'000'000, 5);
        archive_entry_set_size(entry, size);
        if (kind == 'l')
            archive_entry_copy_symlink(entry, words[2].constData());
        if (kind == 'h')
            archive_entry_copy_hardlink(entry, words[2].constData());
        QCOMPARE(archive_write_header(a, entry), ARCHIVE_OK);
        archive_entry_free(entry);
        const QByteArray block(1024 * 1024, kind == 'z' ? '\0' : 'x');
        for (qint64 left = size; left > 0; left -= block.size())
            archive_write_data(a, block.constData(), size_t(std::min<qint64>(left, block.size())));
    }
    QCOMPARE(archive_write_close(a), ARCHIVE_OK);
    archive_write_free(a);
    QFile out(file);
    QVERIFY(out.open(QIODevice::ReadWrite));
    if (how == "linked") {
        QByteArray bytes = out.readAll();
        const qsizetype at = bytes.lastIndexOf(lines.last().split(' ')[1] + '\0');
        bytes.replace(at + 148, 9, "        1"); // no checksum yet; a hard link's type
        bytes.replace(at + 157, 7, QByteArray("data/x\0", 7));
        int sum = 0;
        for (qsizetype i = at; i < at + 512; ++i)
            sum += uchar(bytes[i]);
        bytes.replace(at + 148, 7, QByteArray::number(sum, 8).rightJustified(6, '0') + '\0');
        QVERIFY(out.seek(0) && out.write(bytes) == bytes.size());
    }
    if (how == "cut")
        QVERIFY(out.resize(out.size() / 2));
    if (how == "garbage")
        write(file, noise(64 * 1024));
}

// Everything under `folder`, sorted: "name/" for a folder, "name -> target" for a link,
// "name=contents" for a small file, "name=<sha1>" for a larger one.
QStringList snapshot(const QString &folder)
{
    QStringList items;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = path.mid(folder.size() + 1);
        char target[4096];
        const ssize_t length = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
        QFile file(path);
        const QByteArray bytes = length < 0 && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (length >= 0)
            items << name + QStringLiteral(" -> ") + QString::fromUtf8(target, length);
        else if (it.fileInfo().isDir())
            items << name + QLatin1Char('/');
        else
            items << name + QLatin1Char('=')
                    + QString::fromUtf8(bytes.size() <= 16
                            ? bytes
                            : QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
    }
    items.sort();
    return items;
}

} // namespace

class InstanceArchiveTest : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QString m_into;

    // What is in the temporary folder but not in the one unpacked into.
    QStringList besideInto() const
    {
        return snapshot(m_dir->path()).filter(QRegularExpression(QStringLiteral("^(?!into/)")));
    }
    QString archiveFile() const { return m_dir->filePath(QStringLiteral("instance.tar")); }

private Q_SLOTS:
    // A fresh folder to unpack into, beside a folder that must stay as it is.
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        m_into = m_dir->filePath(QStringLiteral("into"));
        QVERIFY(QDir().mkpath(m_into));
        write(m_dir->filePath(QStringLiteral("outside/keep")), "keep");
    }

    void unpack_refusesHostileArchives_data()
    {
        QTest::addColumn<QByteArrayList>("members");
        QTest::addColumn<QByteArray>("how");
        QTest::addColumn<bool>("bySystem"); // refused by the system, not by the reader's rules
        const auto row = [](const char *name, const QByteArrayList &members, const QByteArray &how = {},
                             bool bySystem = false) { QTest::newRow(name) << members << how << bySystem; };
        row("absolute path", { "f @/outside/abs" });
        row("dot-dot", { "f data/../outside/escape" });
        row("outside data/", { "f other/x" });
        row("hard link", { "f data/x", "h data/h @/outside/keep" });
        row("hard link with data", { "f data/x", "f data/h" }, "linked");
        row("character device", { "c data/dev" });
        row("FIFO", { "p data/fifo" });
        row("member twice", { "f data/x", "f data/x" });
        row("folder twice, once with a slash", { "d data/a", "d data/a/" });
        row("name not UTF-8", { "f data/\xff\xfe" }, "ustar");
        row("decompression bomb", { "z data/zeros" }, "zstd");
        row("truncated", { "b data/big" }, "cut");
        row("garbage", {}, "garbage");
        row("manifest missing", { "f data/x", "f data/y" }, "bare");
        row("manifest not first", { "f data/x", "f tandrel-instance.json" }, "bare");
        row("through a link the folder has", { "f data/home/x" }, {}, true);
        row("through a link the archive has", { "l data/in home", "f data/in/y" }, {}, true);
    }
    void unpack_refusesHostileArchives()
    {
        QFETCH(QByteArrayList, members);
        QFETCH(QByteArray, how);
        QFETCH(bool, bySystem);
        QVERIFY(QFile::link(QStringLiteral("../outside"), m_into + QStringLiteral("/home")));
        craft(archiveFile(), members, how, QFile::encodeName(m_dir->path()));
        const QStringList before = besideInto();
        QElapsedTimer timer;
        timer.start();
        if (bySystem)
            QVERIFY_THROWS_EXCEPTION(FileSystemError, unpackInstanceArchive(archiveFile(), m_into, {}));
        else
            QVERIFY_THROWS_EXCEPTION(TandrelError, unpackInstanceArchive(archiveFile(), m_into, {}));
        QVERIFY(timer.elapsed() < 20'000);
        QCOMPARE(besideInto(), before);
        QVERIFY(QFileInfo(m_into + QStringLiteral("/zeros")).size() < 65 * 1024 * 1024);
    }

    void unpack_leavesOutWhatItMustNot_data()
    {
        QTest::addColumn<QByteArrayList>("members");
        QTest::addColumn<QStringList>("unpacked");
        QTest::addColumn<int>("outwardLinks");
        QTest::addColumn<int>("existing");
        QTest::newRow("absolute link")
            << QByteArrayList { "l data/abs @/outside/keep" } << QStringList {} << 1 << 0;
        QTest::newRow("link up and out")
            << QByteArrayList { "d data/d", "l data/d/up ../../outside" } << QStringList { "d/" } << 1 << 0;
        QTest::newRow("link out through an inner link")
            << QByteArrayList { "l data/here .", "l data/out here/here/../outside" }
            << QStringList { "here -> ." } << 1 << 0;
        QTest::newRow("link inside") << QByteArrayList { "d data/d", "l data/d/l ../sibling" }
                                     << QStringList { "d/", "d/l -> ../sibling" } << 0 << 0;
        QTest::newRow("file the folder has")
            << QByteArrayList { "f data/mine" } << QStringList { "mine=mine" } << 0 << 1;
    }
    void unpack_leavesOutWhatItMustNot()
    {
        QFETCH(QByteArrayList, members);
        QFETCH(QStringList, unpacked);
        QFETCH(int, outwardLinks);
        QFETCH(int, existing);
        if (existing)
            write(m_into + QStringLiteral("/mine"), "mine");
        craft(archiveFile(), members, {}, QFile::encodeName(m_dir->path()));
        UnpackSummary told;
        Transfer transfer;
        transfer.skipped = &told;
        unpackInstanceArchive(archiveFile(), m_into, transfer);
        QCOMPARE(told.outwardLinks, outwardLinks);
        QCOMPARE(told.existing, existing);
        QCOMPARE(snapshot(m_into), unpacked);
    }

    void roundTrip_keepsEverythingButOutwardLinks_data()
    {
        QTest::addColumn<bool>("asciiLocale");
        QTest::newRow("session's locale") << false;
        QTest::newRow("C locale") << true; // a service's or a bare shell's
    }
    void roundTrip_keepsEverythingButOutwardLinks()
    {
        QFETCH(bool, asciiLocale);
        const locale_t ascii = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
        const auto restore = qScopeGuard([ascii] {
            ::uselocale(LC_GLOBAL_LOCALE);
            ::freelocale(ascii);
        });
        if (asciiLocale)
            ::uselocale(ascii);
        const QString data = m_dir->filePath(QStringLiteral("data"));
        write(data + QStringLiteral("/.hidden"), "hidden");
        write(data + QStringLiteral("/.config/app/deep/settings.bin"), noise(300 * 1024));
        write(data + QStringLiteral("/café ñ.txt"), "é");
        write(data + QStringLiteral("/empty"), {});
        QVERIFY(QDir().mkpath(data + QStringLiteral("/.cache/empty folder")));
        QVERIFY(QFile::link(QStringLiteral("../../.hidden"), data + QStringLiteral("/.config/app/inner")));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("outside")), data + QStringLiteral("/outer")));
        QStringList expected = snapshot(data);
        QVERIFY(expected.removeAll(QStringLiteral("outer -> ") + m_dir->filePath(QStringLiteral("outside"))));

        const QString file = m_dir->filePath(QStringLiteral("instance.tar.zst"));
        writeInstanceArchive(file, "{\"format\":1}", data, {});
        QCOMPARE(readArchiveManifest(file), QByteArray("{\"format\":1}"));
        if (!QStandardPaths::findExecutable(QStringLiteral("tar")).isEmpty()) {
            QProcess tar;
            tar.start(QStringLiteral("tar"), { QStringLiteral("--zstd"), QStringLiteral("-tf"), file });
            QVERIFY(tar.waitForFinished());
            QCOMPARE(tar.exitCode(), 0);
            const QByteArray listing = tar.readAllStandardOutput();
            QVERIFY2(listing.startsWith("tandrel-instance.json\ndata/\n"), listing.constData());
            QCOMPARE(listing.count('\n'), expected.size() + 3); // with the manifest, data/ and outer
        }
        for (const bool archived : { true, false }) {
            const QString into
                = m_dir->filePath(archived ? QStringLiteral("unpacked") : QStringLiteral("copied"));
            QVERIFY(QDir().mkpath(into));
            const UnpackSummary summary
                = archived ? unpackInstanceArchive(file, into, {}) : copyInstanceData(data, into, {});
            QCOMPARE(summary.outwardLinks, 1);
            QCOMPARE(snapshot(into), expected);
        }
    }

    void write_refusedLeavesAllAsItWas_data()
    {
        QTest::addColumn<bool>("fileThere");
        QTest::newRow("a file where it goes") << true;
        QTest::newRow("cancelled midway") << false;
    }
    void write_refusedLeavesAllAsItWas()
    {
        QFETCH(bool, fileThere);
        write(m_into + QStringLiteral("/big"), QByteArray(1024 * 1024, 'x'));
        if (fileThere)
            write(archiveFile(), "mine");
        const QStringList before = snapshot(m_dir->path());
        std::atomic<bool> cancelled = false;
        Transfer transfer;
        transfer.cancelled = &cancelled;
        if (!fileThere)
            transfer.progress = [&cancelled](qint64, qint64) { cancelled = true; };
        QVERIFY_THROWS_EXCEPTION(TandrelError, writeInstanceArchive(archiveFile(), "{}", m_into, transfer));
        QCOMPARE(snapshot(m_dir->path()), before);
    }
};

TANDREL_TEST_MAIN(InstanceArchiveTest)
#include "tst_instancearchive.moc"
