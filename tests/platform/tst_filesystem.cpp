#include "platform/FileSystem.h"
#include "support/FakeBundle.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QUuid>

#include <cerrno>
#include <cstring>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tandrel;
using namespace tandrel::test;

namespace {

QString osMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Runs the call and gives the message of the FileSystemError it throws, or a null
// QString when it throws nothing.
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

int modeOf(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

} // namespace

class FileSystemTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Removing never follows a link
    void removeItem_leavesLinkTargetsIntact_data()
    {
        // Each row builds <dir>/doomed (with links into <dir>/real, a home full of files),
        // then removes the path given, relative to <dir>.
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("removed");
        QTest::newRow("links to the home's folders, as in a space") << "space"
                                                                    << "doomed";
        QTest::newRow("link to a folder at the top") << "top-link"
                                                     << "doomed";
        QTest::newRow("link to a folder, given with a trailing slash") << "top-link"
                                                                       << "doomed/";
        QTest::newRow("link to a folder, nested deep") << "nested"
                                                       << "doomed";
        QTest::newRow("link to a file, nested") << "file-link"
                                                << "doomed";
        QTest::newRow("link to a file at the top") << "top-file-link"
                                                   << "doomed";
        QTest::newRow("link to the home's parent") << "parent-link"
                                                   << "doomed";
        QTest::newRow("broken link beside real files") << "broken"
                                                       << "doomed";
    }
    void removeItem_leavesLinkTargetsIntact()
    {
        QFETCH(QString, layout);
        QFETCH(QString, removed);
        QTemporaryDir dir;
        const QString real = makeFakeHome(dir.filePath(QStringLiteral("real")));
        const QString doomed = dir.filePath(QStringLiteral("doomed"));
        if (layout == QLatin1String("space")) {
            fs::createDirectory(doomed + QStringLiteral("/home"));
            for (const char *folder : { "Downloads", "Documents", "Desktop" })
                link(real + QLatin1Char('/') + QLatin1String(folder),
                    doomed + QStringLiteral("/home/") + QLatin1String(folder));
            fs::writeBytes(doomed + QStringLiteral("/home/.profile"), "own file");
        } else if (layout == QLatin1String("top-link")) {
            link(real, doomed);
        } else if (layout == QLatin1String("nested")) {
            fs::createDirectory(doomed + QStringLiteral("/a/b/c"));
            link(real, doomed + QStringLiteral("/a/b/c/home"));
            link(real + QStringLiteral("/Documents"), doomed + QStringLiteral("/a/docs"));
        } else if (layout == QLatin1String("file-link")) {
            fs::createDirectory(doomed + QStringLiteral("/x"));
            link(real + QStringLiteral("/Desktop/todo.txt"), doomed + QStringLiteral("/x/todo.txt"));
        } else if (layout == QLatin1String("top-file-link")) {
            link(real + QStringLiteral("/Desktop/todo.txt"), doomed);
        } else if (layout == QLatin1String("parent-link")) {
            fs::createDirectory(doomed);
            link(dir.path(), doomed + QStringLiteral("/up"));
        } else if (layout == QLatin1String("broken")) {
            fs::createDirectory(doomed);
            link(dir.filePath(QStringLiteral("nowhere")), doomed + QStringLiteral("/broken"));
            fs::writeBytes(doomed + QStringLiteral("/file"), "x");
        }

        fs::removeItem(dir.path() + QLatin1Char('/') + removed);

        QVERIFY(!fs::fileExists(doomed));
        QVERIFY(fakeHomeIntact(real));
    }

    void removeItem_refusesPathsThatResolveALink_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("dot") << "/link/.";
        QTest::newRow("dot dot") << "/link/Documents/..";
        QTest::newRow("inner dot") << "/./link";
    }
    void removeItem_refusesPathsThatResolveALink()
    {
        QFETCH(QString, suffix);
        QTemporaryDir dir;
        const QString real = makeFakeHome(dir.filePath(QStringLiteral("real")));
        link(real, dir.filePath(QStringLiteral("link")));
        QCOMPARE(errorOf([&] { fs::removeItem(dir.path() + suffix); }), osMessage(EINVAL));
        QVERIFY(fakeHomeIntact(real));
    }

    void removeItem_removesFoldersAndFiles()
    {
        QTemporaryDir dir;
        const QString home = makeFakeHome(dir.filePath(QStringLiteral("home")));
        fs::writeBytes(home + QStringLiteral("/.hidden"), "x");
        fs::removeItem(home + QStringLiteral("/Desktop/todo.txt"));
        QVERIFY(!fs::fileExists(home + QStringLiteral("/Desktop/todo.txt")));
        fs::removeItem(home);
        QVERIFY(!fs::fileExists(home));
    }

    void removeItem_missingPathThrowsSystemMessage()
    {
        QTemporaryDir dir;
        QCOMPARE(
            errorOf([&] { fs::removeItem(dir.filePath(QStringLiteral("missing"))); }), osMessage(ENOENT));
    }

    // Reading
    void readFile_isCapped_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<qint64>("cap");
        QTest::addColumn<QString>("error"); // empty: read back what was written
        QTest::newRow("within the cap") << "small" << qint64(100) << QString();
        QTest::newRow("exactly at the cap") << "small" << qint64(10) << QString();
        QTest::newRow("one byte over the cap") << "small" << qint64(9) << osMessage(EFBIG);
        QTest::newRow("3 GB sparse file, 1 MB cap") << "sparse" << qint64(1 << 20) << osMessage(EFBIG);
        QTest::newRow("folder") << "folder" << qint64(1 << 20) << osMessage(EISDIR);
        QTest::newRow("FIFO, without waiting for a writer") << "fifo" << qint64(1 << 20) << osMessage(EINVAL);
        QTest::newRow("missing") << "missing" << qint64(1 << 20) << osMessage(ENOENT);
    }
    void readFile_isCapped()
    {
        QFETCH(QString, kind);
        QFETCH(qint64, cap);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("file"));
        const QByteArray small("0123456\x00"
                               "89",
            10);
        if (kind == QLatin1String("small")) {
            fs::writeBytes(path, small);
        } else if (kind == QLatin1String("sparse")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(qint64(3) << 30));
        } else if (kind == QLatin1String("folder")) {
            fs::createDirectory(path);
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        if (error.isEmpty())
            QCOMPARE(fs::readFile(path, cap), small);
        else
            QCOMPARE(errorOf([&] { fs::readFile(path, cap); }), error);
    }

    // Writing
    void writeTextAtomically_replacesWholeFileWithUtf8()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("launcher"));
        fs::writeBytes(path, QByteArray(4096, 'x'));
        const QString text = QStringLiteral("#!/bin/bash\nexport HOME=\"/Users/José/Niño 🚀\"\n");
        fs::writeTextAtomically(path, text);
        QCOMPARE(contentsOf(path),
            QByteArray("#!/bin/bash\nexport HOME=\"/Users/Jos\xC3\xA9/Ni\xC3\xB1o \xF0\x9F\x9A\x80\"\n"));
        // Nothing left beside it: no temporary file, no backup.
        QCOMPARE(fs::contentsOfDirectory(dir.path()), QStringList { path });
    }

    void writeTextAtomically_intoMissingFolderThrows()
    {
        QTemporaryDir dir;
        QVERIFY(!errorOf([&] {
            fs::writeTextAtomically(dir.filePath(QStringLiteral("no/file")), QStringLiteral("x"));
        }).isEmpty());
    }

    void writeBytes_writesExactlyAndTruncates()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data"));
        fs::writeBytes(path, QByteArray(100, 'z'));
        const QByteArray bytes("\x00\xFF\r\n\x00", 5);
        fs::writeBytes(path, bytes);
        QCOMPARE(contentsOf(path), bytes);
        QCOMPARE(errorOf([&] { fs::writeBytes(dir.filePath(QStringLiteral("no/data")), bytes); }),
            osMessage(ENOENT));
    }

    void setPosixPermissions_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("0755") << 0755;
        QTest::newRow("0644") << 0644;
        QTest::newRow("0700") << 0700;
    }
    void setPosixPermissions()
    {
        QFETCH(int, mode);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("launcher"));
        fs::writeBytes(path, "#!/bin/sh\n");
        fs::setPosixPermissions(path, mode);
        QCOMPARE(modeOf(path), mode);
        QCOMPARE(fs::isExecutableFile(path), (mode & 0100) != 0);
    }

    void createDirectory_makesParentsAndAcceptsExisting()
    {
        QTemporaryDir dir;
        const QString deep = dir.filePath(QStringLiteral("a/b c/d"));
        fs::createDirectory(deep);
        fs::createDirectory(deep);
        QVERIFY(QFileInfo(deep).isDir());
        fs::writeBytes(dir.filePath(QStringLiteral("file")), "x");
        QVERIFY(!errorOf([&] { fs::createDirectory(dir.filePath(QStringLiteral("file"))); }).isEmpty());
    }

    // Looking
    void contentsOfDirectory_listsEverythingAsFullPaths()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("apps"));
        fs::createDirectory(folder + QStringLiteral("/Mail.app"));
        fs::writeBytes(folder + QStringLiteral("/.hidden"), "");
        fs::writeBytes(folder + QStringLiteral("/Café ✓.txt"), "");
        link(QStringLiteral("/nowhere"), folder + QStringLiteral("/broken"));
        QStringList entries = fs::contentsOfDirectory(folder);
        entries.sort();
        QCOMPARE(entries,
            (QStringList { folder + QStringLiteral("/.hidden"), folder + QStringLiteral("/Café ✓.txt"),
                folder + QStringLiteral("/Mail.app"), folder + QStringLiteral("/broken") }));
        QCOMPARE(fs::contentsOfDirectory(folder + QStringLiteral("/Mail.app")), QStringList());
    }

    void contentsOfDirectory_failsWithSystemMessage_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing") << "missing" << osMessage(ENOENT);
        QTest::newRow("a file") << "file" << osMessage(ENOTDIR);
        QTest::newRow("unreadable") << "unreadable" << osMessage(EACCES);
    }
    void contentsOfDirectory_failsWithSystemMessage()
    {
        QFETCH(QString, kind);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("folder"));
        if (kind == QLatin1String("file"))
            fs::writeBytes(path, "x");
        if (kind == QLatin1String("unreadable")) {
            if (::geteuid() == 0)
                QSKIP("permissions do not stop root");
            fs::createDirectory(path);
            fs::setPosixPermissions(path, 0);
        }
        const QString message = errorOf([&] { fs::contentsOfDirectory(path); });
        if (kind == QLatin1String("unreadable"))
            fs::setPosixPermissions(path, 0700); // so QTemporaryDir can clean up
        QCOMPARE(message, error);
    }

    void fileExistsAndIsExecutable_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("executable");
        QTest::newRow("executable file") << "exe" << true << true;
        QTest::newRow("plain file") << "plain" << true << false;
        QTest::newRow("folder") << "folder" << true << false;
        QTest::newRow("link to an executable") << "link-exe" << true << true;
        QTest::newRow("broken link") << "broken" << true << false;
        QTest::newRow("missing") << "missing" << false << false;
    }
    void fileExistsAndIsExecutable()
    {
        QFETCH(QString, kind);
        QFETCH(bool, exists);
        QFETCH(bool, executable);
        QTemporaryDir dir;
        const QString exe = dir.filePath(QStringLiteral("exe"));
        fs::writeBytes(exe, "#!/bin/sh\n");
        fs::setPosixPermissions(exe, 0755);
        const QString path = dir.filePath(QStringLiteral("item"));
        if (kind == QLatin1String("exe"))
            fs::writeBytes(path, "#!/bin/sh\n"), fs::setPosixPermissions(path, 0755);
        else if (kind == QLatin1String("plain"))
            fs::writeBytes(path, "text"), fs::setPosixPermissions(path, 0644);
        else if (kind == QLatin1String("folder"))
            fs::createDirectory(path), fs::setPosixPermissions(path, 0755);
        else if (kind == QLatin1String("link-exe"))
            link(exe, path);
        else if (kind == QLatin1String("broken"))
            link(dir.filePath(QStringLiteral("gone")), path);
        QCOMPARE(fs::fileExists(path), exists);
        QCOMPARE(fs::isExecutableFile(path), executable);
    }

    // Trash
    void trashItem_movesIntoIsolatedTrash_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("file") << "file";
        QTest::newRow("folder full of files") << "folder";
        QTest::newRow("link to a folder") << "link";
    }
    void trashItem_movesIntoIsolatedTrash()
    {
#if defined(Q_OS_DARWIN)
        QSKIP("the system trash of macOS belongs to the real user and cannot be redirected");
#endif
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString real = makeFakeHome(dir.filePath(QStringLiteral("real")));
        const QString name
            = QStringLiteral("tandrel-trash-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QString path = dir.filePath(name);
        if (kind == QLatin1String("file"))
            fs::writeBytes(path, "trash me");
        else if (kind == QLatin1String("folder"))
            makeFakeHome(path);
        else
            link(real, path);

        // Run from a scratch folder: a trash that falls back to the current folder (as Qt's
        // does when the data folder is missing) must not litter wherever the test started.
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const auto restore = qScopeGuard([previous] { QDir::setCurrent(previous); });
        fs::trashItem(path);
        QCOMPARE(fs::contentsOfDirectory(dir.path()), QStringList { real });

        QVERIFY(!fs::fileExists(path));
        QVERIFY(fakeHomeIntact(real));
        const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/Trash");
        QVERIFY2(trash.startsWith(isolatedHome() + QLatin1Char('/')), qPrintable(trash));
        QVERIFY(fs::fileExists(trash + QStringLiteral("/files/") + name));
        QVERIFY(fs::fileExists(trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo")));
        if (kind == QLatin1String("folder"))
            QVERIFY(fakeHomeIntact(trash + QStringLiteral("/files/") + name));
        if (kind == QLatin1String("link"))
            QVERIFY(QFileInfo(trash + QStringLiteral("/files/") + name).isSymLink());
        // The unique name is nowhere in the real user's trash (only looked at, never touched).
        if (const passwd *user = ::getpwuid(::getuid()); user && user->pw_dir) {
            const QString realHome = QFile::decodeName(user->pw_dir);
            QVERIFY(!fs::fileExists(realHome + QStringLiteral("/.local/share/Trash/files/") + name));
        }
    }

    void trashItem_missingPathThrows()
    {
        QTemporaryDir dir;
        QCOMPARE(errorOf([&] { fs::trashItem(dir.filePath(QStringLiteral("missing"))); }), osMessage(ENOENT));
    }
};

TANDREL_TEST_MAIN(FileSystemTest)
#include "tst_filesystem.moc"
