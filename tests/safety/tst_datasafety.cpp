// The data-safety suite: every trap that could cost a user their files, in one place.
// Each case builds a temporary home whose real Downloads, Documents and Desktop hold
// files, springs the trap, and then checks that nothing outside Tandrel's two folders
// changed and that the user saw a clear error or nothing at all.
#include "app/Uninstall.h"
#include "model/Store.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"
#include "support/FakeBundle.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"
#include "ui/Confirmation.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace tandrel;
using namespace tandrel::test;

namespace {

QString home()
{
    return isolatedHome();
}

// Every entry under the home except Tandrel's two folders and the test's own records:
// path, kind, size and content hash, and a link's target. Links are listed, not followed.
QStringList outsideTandrel()
{
    const QString spaces = Store::spacesDir();
    const QString data = Store::dataRoot();
    const QString records = home() + QStringLiteral("/records");
    QStringList entries;
    QDirIterator it(home(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path == spaces || path.startsWith(spaces + QLatin1Char('/')) || path == data
            || path.startsWith(data + QLatin1Char('/')) || path.startsWith(records))
            continue;
        // Making Tandrel's folders makes their parents when missing; that is all it may add.
        const QFileInfo info = it.fileInfo();
        if (info.isDir() && !info.isSymLink() && (spaces.startsWith(path + QLatin1Char('/')) || data.startsWith(path + QLatin1Char('/'))))
            continue;
        QString line = path.mid(home().size());
        if (info.isSymLink()) {
            line += QStringLiteral(" -> ") + info.symLinkTarget();
        } else if (info.isFile()) {
            QFile file(path);
            QByteArray hash;
            if (info.size() < 1024 * 1024 && file.open(QIODevice::ReadOnly))
                hash = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
            line += QStringLiteral(" %1 %2").arg(info.size()).arg(QString::fromLatin1(hash));
        } else {
            line += QLatin1Char('/');
        }
        entries << line;
    }
    entries.sort();
    return entries;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Runs the wrapper's launcher with bash in a scratch working folder; true when it exited.
bool runLauncher(const QUrl &wrapper, const QString &workingFolder)
{
    QProcess bash;
    bash.setWorkingDirectory(workingFolder);
    bash.start(QStringLiteral("/bin/bash"), {wrapper.toLocalFile() + QStringLiteral("/Contents/MacOS/launcher")});
    return bash.waitForFinished(30000) && bash.exitStatus() == QProcess::NormalExit;
}

} // namespace

class DataSafetyTest : public QObject
{
    Q_OBJECT

    RecordingWorkspace m_workspace;
    QStringList m_before;
    int m_serial = 0;
    QString m_apps;

    InstalledApp target(const QString &name)
    {
        FakeBundleOptions options;
        options.recordFile = home() + QStringLiteral("/records/") + QString::number(++m_serial);
        return InstalledApp{QUrl::fromLocalFile(makeFakeBundle(m_apps, name, options))};
    }

    // An isolated-home instance that has been started once, so its links exist.
    SpaceInfo startedHomeInstance(Store &store)
    {
        const QUrl wrapper = store.createSpace(target(QStringLiteral("Notes")), QStringLiteral("Work"), Mode::Home);
        if (!runLauncher(wrapper, home() + QStringLiteral("/records")))
            return {};
        for (const SpaceInfo &space : store.spaces())
            if (space.url == wrapper)
                return space;
        return {};
    }

    bool outsideUnchanged()
    {
        const QStringList after = outsideTandrel();
        if (after != m_before) {
            qWarning("changed outside: %s", qPrintable(QStringList(QSet<QString>(after.begin(), after.end())
                                                                       .subtract(QSet<QString>(m_before.begin(), m_before.end()))
                                                                       .values())
                                                           .join(QLatin1Char(' '))));
            return false;
        }
        return fakeHomeIntact(home());
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_workspace.install();
        setConfirmer([](const Confirmation &) { return true; });
    }

    void init()
    {
        QDir(home()).removeRecursively();
        QDir().mkpath(home() + QStringLiteral("/records"));
        makeFakeHome(home());
        m_apps = home() + QStringLiteral("/Apps");
        // Neighbours that share the data root's prefix, and a folder elsewhere.
        fs::createDirectory(home() + QStringLiteral("/Library/Application Support/Tandrel2/x"));
        fs::writeBytes(home() + QStringLiteral("/Library/Application Support/Tandrel2/x/keep.txt"), "sibling");
        fs::createDirectory(home() + QStringLiteral("/Library/Application Support/x"));
        fs::writeBytes(home() + QStringLiteral("/Library/Application Support/x/keep.txt"), "neighbour");
        fs::createDirectory(home() + QStringLiteral("/elsewhere/Real.app/Contents"));
        fs::writeBytes(home() + QStringLiteral("/elsewhere/Real.app/Contents/Info.plist"), "keep");
    }

    // Links from isolated homes to the real folders
    void deleteInstance_keepsWhatItsLinksPointTo()
    {
        Store store(QStringList{m_apps});
        const SpaceInfo space = startedHomeInstance(store);
        QVERIFY(space.dataDir);
        QCOMPARE(entries(*space.dataDir + QStringLiteral("/home")).size(), 3);
        m_before = outsideTandrel();
        store.deleteSpace(space);
        QVERIFY(!QFileInfo::exists(*space.dataDir));
        QVERIFY(outsideUnchanged());
    }

    void uninstall_keepsWhatLinksPointTo()
    {
        Store store(QStringList{m_apps});
        QVERIFY(startedHomeInstance(store).dataDir);
        // A link at the top of the data root, too.
        QVERIFY(QFile::link(home() + QStringLiteral("/Documents"), Store::dataRoot() + QStringLiteral("/Documents")));
        m_before = outsideTandrel();
        UninstallSteps steps;
        bool trashed = false;
        steps.trashApplication = [&trashed](const QString &) { trashed = true; };
        steps.quit = [] {};
        QVERIFY(uninstall(steps));
        QVERIFY(trashed);
        QVERIFY(!QFileInfo::exists(Store::spacesDir()) && !QFileInfo::exists(Store::dataRoot()));
        QVERIFY(outsideUnchanged());
    }

    // Recorded data folders that leave the data root
    void escapingDataFolder_isLeftAlone_data()
    {
        QTest::addColumn<QString>("recorded");
        QTest::newRow("the data root itself") << "Library/Application Support/Tandrel";
        QTest::newRow("the data root with a separator") << "Library/Application Support/Tandrel/";
        QTest::newRow("through dot-dot") << "Library/Application Support/Tandrel/../x";
        QTest::newRow("a sibling with the same prefix") << "Library/Application Support/Tandrel2/x";
        QTest::newRow("a link inside pointing out") << "<link>";
        QTest::newRow("the real Documents") << "Documents";
        QTest::newRow("the home") << "";
    }
    void escapingDataFolder_isLeftAlone()
    {
        QFETCH(QString, recorded);
        fs::createDirectory(Store::dataRoot() + QStringLiteral("/other"));
        fs::writeBytes(Store::dataRoot() + QStringLiteral("/other/keep.txt"), "another instance");
        QString dataDir = home() + QLatin1Char('/') + recorded;
        if (recorded == QLatin1String("<link>")) {
            dataDir = Store::dataRoot() + QStringLiteral("/link");
            QVERIFY(QFile::link(home() + QStringLiteral("/Desktop"), dataDir));
        }
        fs::createDirectory(Store::spacesDir() + QStringLiteral("/Notes - Work.app/Contents/Resources"));
        fs::writeBytes(Store::spacesDir() + QStringLiteral("/Notes - Work.app/Contents/Resources/space.json"),
                       "{\"dataDir\": \"" + dataDir.toUtf8() + "\"}");
        Store store(QStringList{m_apps});
        m_before = outsideTandrel();
        store.deleteSpace(store.spaces().first());
        QVERIFY(QFileInfo::exists(Store::dataRoot() + QStringLiteral("/other/keep.txt")));
        QVERIFY(!QFileInfo::exists(Store::spacesDir() + QStringLiteral("/Notes - Work.app")));
        QVERIFY(outsideUnchanged());
    }

    void wrapperThatIsALink_onlyTheLinkGoes()
    {
        fs::createDirectory(Store::spacesDir());
        QVERIFY(QFile::link(home() + QStringLiteral("/elsewhere/Real.app"), Store::spacesDir() + QStringLiteral("/Real.app")));
        Store store(QStringList{m_apps});
        m_before = outsideTandrel();
        store.deleteSpace(store.spaces().first());
        QVERIFY(store.spaces().isEmpty());
        QVERIFY(outsideUnchanged());
    }

    // Hostile names and paths, created and then run for real
    void hostileNames_stayText_data()
    {
        QTest::addColumn<QString>("appName");
        QTest::addColumn<QString>("instanceName");
        QTest::newRow("command substitution") << "$(touch pwned)" << "$(touch pwned2)";
        QTest::newRow("backquotes") << "`touch pwned`" << "a `touch pwned2` b";
        QTest::newRow("quotes") << "Say \"hi\"" << "it's \"mine\"";
        QTest::newRow("backslashes") << "back\\slash\\" << "c:\\new";
        QTest::newRow("variables") << "$HOME ${PATH}" << "$1 $@";
        QTest::newRow("newline") << "two\nlines" << "line\nbreak";
        QTest::newRow("emoji") << "Chat 💬" << "Trabajo 🚀";
    }
    void hostileNames_stayText()
    {
        QFETCH(QString, appName);
        QFETCH(QString, instanceName);
        const InstalledApp app = target(appName);
        Store store(QStringList{m_apps});
        m_before = outsideTandrel();
        const QUrl wrapper = store.createSpace(app, instanceName, Mode::Home);
        const QString scratch = home() + QStringLiteral("/records/cwd-") + QString::number(m_serial);
        QVERIFY(QDir().mkpath(scratch));
        QVERIFY(runLauncher(wrapper, scratch));
        QVERIFY2(entries(scratch).isEmpty(), qPrintable(entries(scratch).join(QLatin1Char(' '))));
        const auto launched = readLaunchRecord(home() + QStringLiteral("/records/") + QString::number(m_serial));
        QVERIFY(launched);
        QCOMPARE(launched->home, *store.spaces().first().dataDir + QStringLiteral("/home"));
        QVERIFY(outsideUnchanged());
        store.deleteSpace(store.spaces().first());
        QVERIFY(store.spaces().isEmpty());
        QVERIFY(outsideUnchanged());
    }

    // Hostile records
    void hugeOrGarbageRecord_listedWithoutFacts_data()
    {
        QTest::addColumn<bool>("huge");
        QTest::newRow("2 GB sparse") << true;
        QTest::newRow("garbage") << false;
    }
    void hugeOrGarbageRecord_listedWithoutFacts()
    {
        QFETCH(bool, huge);
        const QString record = Store::spacesDir() + QStringLiteral("/Notes - Work.app/Contents/Resources/space.json");
        fs::createDirectory(QFileInfo(record).path());
        QFile file(record);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"target\": \"/Applications/Notes.app\", \"dataDir\": \"" + home().toUtf8() + "\"");
        if (huge)
            QVERIFY(file.resize(2LL * 1024 * 1024 * 1024));
        else
            file.write(QByteArray("\x00\xff\xfe garbage \x01", 14));
        file.close();
        Store store(QStringList{m_apps});
        QCOMPARE(store.spaces().size(), 1);
        QVERIFY(!store.spaces().first().dataDir && !store.spaces().first().targetPath);
        m_before = outsideTandrel();
        store.deleteSpace(store.spaces().first());
        QVERIFY(outsideUnchanged());
    }

    // Folders in the way and writes that fail half-way
    void spacesDirIsAFile_clearErrorAndNothingElse()
    {
        fs::createDirectory(home() + QStringLiteral("/Applications"));
        fs::writeBytes(Store::spacesDir(), "not a folder");
        const InstalledApp app = target(QStringLiteral("Notes"));
        Store store(QStringList{m_apps});
        QVERIFY(store.spaces().isEmpty());
        m_before = outsideTandrel();
        try {
            store.createSpace(app, QStringLiteral("Work"), Mode::Auto);
            QFAIL("no error");
        } catch (const FileSystemError &error) {
            QCOMPARE(error.errorDescription(), QString::fromLocal8Bit(strerror(ENOTDIR)));
        }
        QVERIFY(outsideUnchanged());
        QCOMPARE(QFileInfo(Store::spacesDir()).size(), qint64(12));
    }

    void fileSizeLimitHalfWay_surfacesTheSystemMessage()
    {
        const InstalledApp app = target(QStringLiteral("Notes"));
        Store store(QStringList{m_apps});
        m_before = outsideTandrel();
        // As `ulimit -f` would: writes past 256 bytes fail with EFBIG instead of a signal.
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limited = previous;
        limited.rlim_cur = 256;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        QString message;
        try {
            store.createSpace(app, QStringLiteral("Work"), Mode::Auto);
        } catch (const FileSystemError &error) {
            message = error.errorDescription();
        }
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
        QCOMPARE(message, QString::fromLocal8Bit(strerror(EFBIG)));
        store.scanSpaces();
        QCOMPARE(store.spaces().size(), 1); // the partial wrapper is listed and can be deleted
        store.deleteSpace(store.spaces().first());
        QVERIFY(store.spaces().isEmpty());
        QVERIFY(outsideUnchanged());
    }

    void readOnlyFolderHalfWay_surfacesTheSystemMessage()
    {
        if (geteuid() == 0)
            QSKIP("permissions do not bind root; the file-size limit above covers a failed write");
        const InstalledApp app = target(QStringLiteral("Notes"));
        Store store(QStringList{m_apps});
        fs::createDirectory(Store::dataRoot());
        fs::setPosixPermissions(Store::dataRoot(), 0555);
        m_before = outsideTandrel();
        QString message;
        try {
            store.createSpace(app, QStringLiteral("Work"), Mode::Auto);
        } catch (const FileSystemError &error) {
            message = error.errorDescription();
        }
        fs::setPosixPermissions(Store::dataRoot(), 0755);
        QCOMPARE(message, QString::fromLocal8Bit(strerror(EACCES)));
        QVERIFY(outsideUnchanged());
    }
};

TANDREL_GUI_TEST_MAIN(DataSafetyTest)
#include "tst_datasafety.moc"
