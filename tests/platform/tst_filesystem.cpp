#include "platform/FileSystem.h"
#include "support/FakeBundle.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QUuid>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace tandrel;
using namespace tandrel::test;

namespace {

QString osMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The message of the FileSystemError the call throws, or a null QString.
template <typename Call> QString errorOf(Call call)
{
    try {
        call();
    } catch (const FileSystemError &error) {
        return error.errorDescription();
    }
    return {};
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void link(const QString &target, const QString &linkPath)
{
    QVERIFY2(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(linkPath).constData()) == 0,
        std::strerror(errno));
}

const QByteArray small("0123456\x00"
                       "89",
    10);

// What a row puts at `path`, in a folder that also holds an executable "exe" and a fake
// home "real".
using Maker = std::function<void(const QString &path, const QString &dir)>;
const QHash<QString, Maker> makers {
    { QStringLiteral("small file"),
        [](const QString &path, const QString &) { fs::writeBytes(path, small); } },
    { QStringLiteral("executable"),
        [](const QString &path, const QString &) {
            fs::writeBytes(path, "#!/bin/sh\n");
            fs::setPosixPermissions(path, 0755);
        } },
    { QStringLiteral("3 GB sparse file"),
        [](const QString &path, const QString &) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(3) << 30));
        } },
    { QStringLiteral("folder"), [](const QString &path, const QString &) { fs::createDirectory(path); } },
    { QStringLiteral("FIFO"),
        [](const QString &path, const QString &) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } },
    { QStringLiteral("link to the executable"),
        [](const QString &path, const QString &dir) { link(dir + QStringLiteral("/exe"), path); } },
    { QStringLiteral("broken link"),
        [](const QString &path, const QString &dir) { link(dir + QStringLiteral("/gone"), path); } },
    { QStringLiteral("missing"), [](const QString &, const QString &) {} },
    // For removal: folders holding links to the fake home, and links to it.
    { QStringLiteral("isolated home linked to the real folders"),
        [](const QString &path, const QString &dir) {
            fs::createDirectory(path + QStringLiteral("/home/deep"));
            for (const char *folder : { "Downloads", "Documents", "Desktop" })
                link(dir + QStringLiteral("/real/") + QLatin1String(folder),
                    path + QStringLiteral("/home/") + QLatin1String(folder));
            link(
                dir + QStringLiteral("/real/Desktop/todo.txt"), path + QStringLiteral("/home/deep/todo.txt"));
            link(dir, path + QStringLiteral("/home/deep/up"));
        } },
    { QStringLiteral("link to a folder"),
        [](const QString &path, const QString &dir) { link(dir + QStringLiteral("/real"), path); } },
};

} // namespace

class FileSystemTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_item;

    QString at(const QString &name) const { return m_dir->filePath(name); }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        makeFakeHome(at(QStringLiteral("real")));
        makers.value(QStringLiteral("executable"))(at(QStringLiteral("exe")), m_dir->path());
        m_item = at(QStringLiteral("item"));
    }

    // Removing never follows a link
    void removeItem_removesTheItemNeverWhatLinksPointTo_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder of links") << "isolated home linked to the real folders";
        QTest::newRow("a link to a folder") << "link to a folder";
        QTest::newRow("a broken link") << "broken link";
    }
    void removeItem_removesTheItemNeverWhatLinksPointTo()
    {
        QFETCH(QString, kind);
        makers.value(kind)(m_item, m_dir->path());
        fs::removeItem(m_item);
        QCOMPARE(fs::itemKind(m_item), fs::ItemKind::Missing);
        QVERIFY(fakeHomeIntact(at(QStringLiteral("real"))));
    }

    // An instance's size is what its own folder holds, counted as du counts it
    void diskUsage_countsAsDuNeverThroughLinks_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind :
            { "small file", "3 GB sparse file", "isolated home linked to the real folders",
                "link to a folder", "broken link", "missing", "FIFO" })
            QTest::newRow(kind) << QString::fromLatin1(kind);
        QTest::newRow("a folder with a file linked twice") << QString();
    }
    void diskUsage_countsAsDuNeverThroughLinks()
    {
        QFETCH(QString, kind);
        if (kind.isEmpty()) {
            fs::createDirectory(m_item);
            fs::writeBytes(m_item + QStringLiteral("/a"), QByteArray(200000, 'x'));
            QVERIFY(::link(QFile::encodeName(m_item + QStringLiteral("/a")).constData(),
                        QFile::encodeName(m_item + QStringLiteral("/b")).constData())
                == 0);
        } else {
            makers.value(kind)(m_item, m_dir->path());
        }
        QProcess du;
        du.start(QStringLiteral("du"),
            { QStringLiteral("-s"), QStringLiteral("-B1"), QStringLiteral("-P"), QStringLiteral("-x"),
                m_item });
        QVERIFY(du.waitForFinished());
        const qint64 expected
            = kind == QLatin1String("missing") ? 0 : du.readAll().split('\t').first().toLongLong();
        QCOMPARE(fs::diskUsage(m_item), expected);
    }

    void removeItem_refusesPathsThatResolveALink_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("dot") << "/item/.";
        QTest::newRow("dot dot") << "/item/Documents/..";
        QTest::newRow("the root") << "/";
    }
    void removeItem_refusesPathsThatResolveALink()
    {
        QFETCH(QString, suffix);
        makers.value(QStringLiteral("link to a folder"))(m_item, m_dir->path());
        const QString path = suffix == QLatin1String("/") ? suffix : m_dir->path() + suffix;
        QCOMPARE(errorOf([&] { fs::removeItem(path); }), osMessage(EINVAL));
        QVERIFY(fakeHomeIntact(at(QStringLiteral("real"))));
        QCOMPARE(errorOf([&] { fs::removeItem(at(QStringLiteral("missing"))); }), osMessage(ENOENT));
    }

    // Looking at items, and reading them capped
    void looking_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("itemKind");
        QTest::addColumn<bool>("executable");
        QTest::addColumn<qint64>("cap");
        QTest::addColumn<QString>("readError"); // empty: reads the whole file
        const int file = int(fs::ItemKind::File), folder = int(fs::ItemKind::Directory),
                  symlink = int(fs::ItemKind::Link);
        QTest::newRow("within the cap") << "small file" << file << false << qint64(100) << QString();
        QTest::newRow("one byte over the cap")
            << "small file" << file << false << qint64(9) << osMessage(EFBIG);
        QTest::newRow("3 GB sparse file")
            << "3 GB sparse file" << file << false << qint64(1 << 20) << osMessage(EFBIG);
        QTest::newRow("folder") << "folder" << folder << false << qint64(1 << 20) << osMessage(EISDIR);
        QTest::newRow("FIFO, never waited on")
            << "FIFO" << int(fs::ItemKind::Other) << false << qint64(1 << 20) << osMessage(EINVAL);
        QTest::newRow("link to an executable")
            << "link to the executable" << symlink << true << qint64(100) << QString();
        QTest::newRow("missing") << "missing" << int(fs::ItemKind::Missing) << false << qint64(100)
                                 << osMessage(ENOENT);
    }
    void looking()
    {
        QFETCH(QString, kind);
        QFETCH(int, itemKind);
        QFETCH(bool, executable);
        QFETCH(qint64, cap);
        QFETCH(QString, readError);
        makers.value(kind)(m_item, m_dir->path());
        QCOMPARE(int(fs::itemKind(m_item)), itemKind);
        QCOMPARE(fs::fileExists(m_item), itemKind != int(fs::ItemKind::Missing));
        QCOMPARE(fs::isExecutableFile(m_item), executable);
        if (readError.isEmpty())
            QCOMPARE(fs::readFile(m_item, cap), contentsOf(m_item));
        else
            QCOMPARE(errorOf([&] { fs::readFile(m_item, cap); }), readError);
    }

    // Writing
    void writeTextAtomically_replacesTheWholeFileWithUtf8()
    {
        fs::writeBytes(m_item, QByteArray(4096, 'x'));
        fs::writeTextAtomically(m_item, QStringLiteral("export HOME=\"/Users/José/Niño 🚀\"\n"));
        QCOMPARE(contentsOf(m_item),
            QByteArray("export HOME=\"/Users/Jos\xC3\xA9/Ni\xC3\xB1o \xF0\x9F\x9A\x80\"\n"));
        // Nothing left beside it, and a failed write leaves the old file whole.
        QCOMPARE(fs::contentsOfDirectory(m_dir->path()).size(), 3);
        QVERIFY(!errorOf([&] {
            fs::writeTextAtomically(at(QStringLiteral("no/file")), QStringLiteral("x"));
        }).isEmpty());
        fs::writeBytes(m_item, small);
        QCOMPARE(contentsOf(m_item), small);
    }

    // Trash
    void trashItem_movesIntoTheIsolatedTrash()
    {
#if defined(Q_OS_DARWIN)
        QSKIP("the system trash of macOS belongs to the real user and cannot be redirected");
#endif
        const QString name
            = QStringLiteral("tandrel-trash-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QString path = at(name);
        makers.value(QStringLiteral("isolated home linked to the real folders"))(path, m_dir->path());
        // From a scratch folder: a trash that falls back to the current folder (as Qt's does
        // when the data folder is missing) must not litter wherever the test started.
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir->path()));
        const auto restore = qScopeGuard([previous] { QDir::setCurrent(previous); });
        fs::trashItem(path);
        QCOMPARE(fs::contentsOfDirectory(m_dir->path()).size(), 2);
        QVERIFY(fakeHomeIntact(at(QStringLiteral("real"))));
        const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/Trash");
        QVERIFY2(trash.startsWith(isolatedHome() + QLatin1Char('/')), qPrintable(trash));
        QVERIFY(fs::fileExists(trash + QStringLiteral("/files/") + name));
        QVERIFY(fs::fileExists(trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo")));
        QCOMPARE(errorOf([&] { fs::trashItem(path); }), osMessage(ENOENT));
    }
};

TANDREL_TEST_MAIN(FileSystemTest)
#include "tst_filesystem.moc"
