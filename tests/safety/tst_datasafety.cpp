// The data-safety suite: every trap that could cost a user their files, in one place.
// Each trap builds a temporary home whose real Downloads, Documents and Desktop hold
// files, plants links and records, deletes or uninstalls, and then compares every entry
// of the home before and after: exactly the expected items are gone, nothing else changed.
#include "app/Uninstall.h"
#include "l10n/LanguageManager.h"
#include "model/OperationLock.h"
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
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using namespace tandrel;
using namespace tandrel::test;

namespace {

const QString S = QStringLiteral("Applications/Tandrel");
const QString D = QStringLiteral("Library/Application Support/Tandrel");
// Two fixed instance ids, so rows can name them.
const QString id1 = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
const QString id2 = QStringLiteral("7c9e6679-7425-40de-944b-e07fc1f90ae7");
const QString D1 = D + QLatin1Char('/') + id1;
const QString D2 = D + QLatin1Char('/') + id2;

QString home()
{
    return isolatedHome();
}

QString at(const QString &relative)
{
    return home() + QLatin1Char('/') + relative;
}

void put(const QString &relative, const QByteArray &bytes = "precious")
{
    const QString path = at(relative);
    fs::createDirectory(path.left(path.lastIndexOf(QLatin1Char('/'))));
    fs::writeBytes(path, bytes);
}

void link(const QString &relativeTarget, const QString &relativeLink)
{
    const QString path = at(relativeLink);
    fs::createDirectory(path.left(path.lastIndexOf(QLatin1Char('/'))));
    if (!QFile::link(at(relativeTarget), path))
        throw FileSystemError(QStringLiteral("cannot link ") + path);
}

// Links named Documents, Downloads and Desktop in the folder to the home's own, as an
// isolated home has them.
void linkRealFolders(const QString &relativeFolder)
{
    for (const char *folder : { "Documents", "Downloads", "Desktop" })
        link(QLatin1String(folder), relativeFolder + QLatin1String(folder));
}

// A record claiming the data folder (relative to the home) for the id.
QByteArray record(const QString &id, const QString &dataDir)
{
    return "{\"id\": \"" + id.toUtf8() + "\", \"dataDir\": \"" + at(dataDir).toUtf8() + "\"}";
}

// A wrapper with Tandrel's identifier for `id` and a record naming `dataDir` (relative
// to the home; empty names none).
void wrapper(const QString &name, const QString &id, const QString &dataDir, const QString &recordId = {})
{
    QByteArray members;
    if (!dataDir.isEmpty())
        members = "\"dataDir\": \"" + at(dataDir).toUtf8() + "\"";
    const QString path = makeWrapper(at(S), name, id, std::nullopt);
    fs::createDirectory(path + QStringLiteral("/Contents/Resources"));
    fs::writeBytes(path + QStringLiteral("/Contents/Resources/space.json"),
        "{\"id\": \"" + (recordId.isEmpty() ? id : recordId).toUtf8() + "\""
            + (members.isEmpty() ? QByteArray() : ", " + members) + "}");
}

// Every entry under the home: kind, size and content hash, and a link's target. Links are
// listed, never followed.
QMap<QString, QString> snapshot()
{
    QMap<QString, QString> entries;
    QDirIterator it(home(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        QString value;
        if (info.isSymLink()) {
            value = QStringLiteral("-> ") + info.symLinkTarget();
        } else if (info.isFile()) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                value = QString::fromLatin1(
                    QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex());
        } else {
            value = QStringLiteral("/");
        }
        entries.insert(path.mid(home().size() + 1), value);
    }
    return entries;
}

// What changed between the snapshots, other than the expected removals.
QStringList unexpectedChanges(
    const QMap<QString, QString> &before, const QMap<QString, QString> &after, const QStringList &gone)
{
    const auto expectedGone = [&gone](const QString &path) {
        return std::any_of(gone.cbegin(), gone.cend(),
            [&path](const QString &g) { return path == g || path.startsWith(g + QLatin1Char('/')); });
    };
    QStringList changes;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const bool present = after.contains(it.key());
        if (present == expectedGone(it.key()))
            changes << (present ? QStringLiteral("kept ") : QStringLiteral("lost ")) + it.key();
        else if (present && after.value(it.key()) != it.value())
            changes << QStringLiteral("changed ") + it.key();
    }
    // The operations' lock folder may be made on the way, empty.
    const QString lock = OperationLock::folder();
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key())
            && !(lock + QLatin1Char('/')).startsWith(at(it.key()) + QLatin1Char('/')))
            changes << QStringLiteral("added ") + it.key();
    }
    return changes;
}

// Runs the wrapper's launcher with bash in a scratch working folder; true when it exited.
bool runLauncher(const QString &wrapperPath, const QString &workingFolder)
{
    QProcess bash;
    bash.setWorkingDirectory(workingFolder);
    bash.start(QStringLiteral("/bin/bash"),
        { wrapperPath + QStringLiteral("/Contents/MacOS/launcher"), QStringLiteral("an $(argument)") });
    return bash.waitForFinished(30000) && bash.exitStatus() == QProcess::NormalExit;
}

} // namespace

// A layout on disk; the test then deletes the wrapper at `victim` (relative to the home)
// or uninstalls, and compares.
struct Trap
{
    std::function<void()> plant;
    QString victim; // the wrapper to delete; empty: uninstall
    QStringList gone; // what must be removed, with everything inside
    bool told = false; // whether the user is told that something was left
    // A victim the scan does not list is handed over as a caller might: with this id
    // and data folder (relative to the home).
    QString givenId = {};
    QString givenData = {};
};
Q_DECLARE_METATYPE(Trap)

class DataSafetyTest : public QObject
{
    Q_OBJECT

    RecordingWorkspace m_workspace;
    QList<Notice> m_notices;

private Q_SLOTS:
    void initTestCase()
    {
        m_workspace.install();
        setConfirmer([](const Confirmation &) { return true; });
        setInformer([this](const Notice &notice) { m_notices.append(notice); });
    }

    void init()
    {
        QDir(home()).removeRecursively();
        makeFakeHome(home());
        m_notices.clear();
    }

    // Deleting and uninstalling, one row per trap
    void removal_losesNothingOutsideWhatTandrelMade_data()
    {
        QTest::addColumn<Trap>("trap");
        const QString w = S + QStringLiteral("/Mail - Work.app");
        QTest::newRow("isolated home linked to the real folders")
            << Trap { [] {
                         wrapper(QStringLiteral("Mail - Work"), id1, D1);
                         put(D1 + QStringLiteral("/Cookies"));
                         linkRealFolders(D1 + QStringLiteral("/home/"));
                     },
                   w, { w, D1 } };
        QTest::newRow("data root linked to Documents, record naming a folder in it")
            << Trap { [] {
                         link(QStringLiteral("Documents"), D);
                         wrapper(QStringLiteral("Mail - Work"), id1, D + QStringLiteral("/Taxes"));
                     },
                   w, { w }, true };
        QTest::newRow("data root moved to another disk")
            << Trap { [] {
                         put(QStringLiteral("Disk/TandrelData/") + id1 + QStringLiteral("/Cookies"));
                         link(QStringLiteral("Disk/TandrelData"), D);
                         wrapper(QStringLiteral("Mail - Work"), id1, D1);
                     },
                   w, { w, QStringLiteral("Disk/TandrelData/") + id1 } };
        QTest::newRow("instances folder linked elsewhere, bundle not Tandrel's")
            << Trap { [] {
                         put(QStringLiteral("Elsewhere/Real.app/Contents/Info.plist"), "keep");
                         put(QStringLiteral("Elsewhere/Real.app/Contents/Resources/space.json"),
                             record(id1, D1));
                         put(D1 + QStringLiteral("/Cookies"));
                         link(QStringLiteral("Elsewhere"), S);
                     },
                   S + QStringLiteral("/Real.app"), {}, true };
        QTest::newRow("data folder that is a link to another instance's")
            << Trap { [] {
                         put(D2 + QStringLiteral("/Cookies"));
                         link(D2, D1);
                         wrapper(QStringLiteral("Mail - Work"), id1, D1);
                     },
                   w, { w }, true };
        QTest::newRow("record copied from another instance")
            << Trap { [] {
                         put(D2 + QStringLiteral("/Cookies"));
                         wrapper(QStringLiteral("Mail - Work"), id1, D2, id2);
                     },
                   w, { w }, true };
        for (const QString &escape : { D, D + QLatin1Char('/'), D + QStringLiteral("/."),
                 D + QStringLiteral("/../x"), QStringLiteral("Library/Application Support/Tandrel2/x"),
                 QStringLiteral("Documents/") + id1, QString(QStringLiteral("Documents")) }) {
            QTest::newRow(qPrintable(QStringLiteral("recorded folder ") + escape))
                << Trap { [escape] {
                             put(D2 + QStringLiteral("/Cookies"));
                             put(QStringLiteral("Library/Application Support/x/keep.txt"));
                             put(QStringLiteral("Library/Application Support/Tandrel2/x/keep.txt"));
                             put(QStringLiteral("Documents/") + id1 + QStringLiteral("/keep.txt"));
                             wrapper(QStringLiteral("Mail - Work"), id1, escape);
                         },
                       w, { w }, true };
        }
        QTest::newRow("wrapper that is a link to an app")
            << Trap { [] {
                         put(QStringLiteral("Elsewhere/Real.app/Contents/Info.plist"), "keep");
                         link(QStringLiteral("Elsewhere/Real.app"), S + QStringLiteral("/Real.app"));
                     },
                   S + QStringLiteral("/Real.app"), {}, true };
        QTest::newRow("wrapper not Tandrel's keeps the data it names")
            << Trap { [] {
                         put(S + QStringLiteral("/Notes.app/Contents/Resources/space.json"), record(id1, D1));
                         put(D1 + QStringLiteral("/Cookies"));
                     },
                   S + QStringLiteral("/Notes.app"), {}, true };
        QTest::newRow("a Tandrel wrapper copied out of the instances folder")
            << Trap { [] {
                         makeWrapper(
                             at(QStringLiteral("Desktop")), QStringLiteral("Mail - Copy"), id1, QByteArray());
                         put(D1 + QStringLiteral("/Cookies"));
                     },
                   QStringLiteral("Desktop/Mail - Copy.app"), {}, true, id1, D1 };
        QTest::newRow("data folder that is a file")
            << Trap { [] {
                         put(D1);
                         wrapper(QStringLiteral("Mail - Work"), id1, D1);
                     },
                   w, { w }, true };
        QTest::newRow("half-made wrapper")
            << Trap { [w] {
                         fs::createDirectory(at(w + QStringLiteral("/Contents/MacOS")));
                         put(w + QStringLiteral("/Contents/Resources/app.icns"), "icns");
                     },
                   w, { w } };
        QTest::newRow("half-made wrapper of an earlier release, its Info.plist not yet renamed")
            << Trap { [w] {
                         fs::createDirectory(at(w + QStringLiteral("/Contents/MacOS")));
                         put(w + QStringLiteral("/Contents/Info.plist.tandrel-4242-17"), "<?xml");
                     },
                   w, { w } };
        QTest::newRow("a wrapper copied beside its original keeps their data")
            << Trap { [] {
                         wrapper(QStringLiteral("Mail - Work"), id1, D1);
                         wrapper(QStringLiteral("Mail - Copy"), id1, D1);
                         put(D1 + QStringLiteral("/Cookies"));
                     },
                   S + QStringLiteral("/Mail - Copy.app"), { S + QStringLiteral("/Mail - Copy.app") }, true };

        const QString entries = QStringLiteral(".local/share/applications/");
        const QString entry = entries + QStringLiteral("tandrel-") + id1 + QStringLiteral(".desktop");
        // Data in the data home's root, as this release makes it, or in ~/Library, as earlier ones did.
        const QString X = QStringLiteral(".local/share/tandrel"), X1 = X + QLatin1Char('/') + id1;
        const auto desktopEntry = [](const QString &relative, const QString &marker,
                                      const QString &data = D1) {
            put(relative,
                "[Desktop Entry]\nType=Application\nName=Notes - Work\nExec=/bin/true\nX-Tandrel-Instance="
                    + marker.toUtf8() + "\nX-Tandrel-Data=" + at(data).toUtf8() + "\n");
        };
        QTest::newRow("desktop instance with its home linked to the real folders")
            << Trap { [desktopEntry, entry, X1] {
                         desktopEntry(entry, id1, X1);
                         linkRealFolders(X1 + QStringLiteral("/home/"));
                     },
                   entry, { entry, X1 } };
        QTest::newRow("desktop entry named as an instance, marked for another")
            << Trap { [desktopEntry, entry] {
                         desktopEntry(entry, id2);
                         put(D1 + QStringLiteral("/Cookies"));
                     },
                   entry, {}, true, id1, D1 };
        QTest::newRow("an entry made by hand carrying a bundle instance's id never reaches its data")
            << Trap { [desktopEntry, entry] {
                         wrapper(QStringLiteral("Mail - Work"), id1, D1);
                         put(D1 + QStringLiteral("/home/mail.mbox"));
                         desktopEntry(entry, id1);
                     },
                   entry, { entry }, true };
        QTest::newRow("desktop instance entry that is a link to the user's own entry")
            << Trap { [desktopEntry, entry, entries] {
                         desktopEntry(entries + QStringLiteral("mine.desktop"), id1);
                         link(entries + QStringLiteral("mine.desktop"), entry);
                     },
                   entry, {}, true, id1, D1 };
        QTest::newRow("uninstall: desktop instances and Tandrel's own entry go, the user's stay")
            << Trap { [desktopEntry, entry, entries, X1] {
                         desktopEntry(entry, id1, X1);
                         put(X1 + QStringLiteral("/Cookies"));
                         put(entries + QStringLiteral("io.tandrel.Tandrel.desktop"),
                             "[Desktop Entry]\nName=Tandrel\n");
                         put(QStringLiteral(".local/share/icons/hicolor/64x64/apps/tandrel.png"), "png");
                         put(entries + QStringLiteral("mine.desktop"), "[Desktop Entry]\nName=Mine\n");
                         link(QStringLiteral("Documents"),
                             QStringLiteral(".local/share/icons/hicolor/32x32/apps/tandrel.png"));
                     },
                   {},
                   { entry, X, entries + QStringLiteral("io.tandrel.Tandrel.desktop"),
                       QStringLiteral(".local/share/icons/hicolor/64x64/apps/tandrel.png") } };

        QTest::newRow("uninstall: Tandrel's items go, links and others' files stay")
            << Trap { [] {
                         wrapper(QStringLiteral("Mail - Work"), id1, D1);
                         linkRealFolders(D1 + QStringLiteral("/home/"));
                         put(D2 + QStringLiteral("/Cookies")); // an orphan's data
                         link(QStringLiteral("Documents"), D + QStringLiteral("/Docs"));
                         put(D + QStringLiteral("/notes.txt"));
                         put(S + QStringLiteral("/Other.app/Contents/Info.plist"), "keep");
                     },
                   {}, { w, D1, D2 }, true };
        QTest::newRow("uninstall: data root linked to Documents")
            << Trap { [] { link(QStringLiteral("Documents"), D); }, {}, { D }, true };
        QTest::newRow("uninstall: instances folder linked to the user's apps")
            << Trap { [] {
                         put(QStringLiteral("Apps/Real.app/Contents/Info.plist"), "keep");
                         link(QStringLiteral("Apps"), S);
                         wrapper(QStringLiteral("Mail - Work"), id1, {});
                     },
                   {}, { QStringLiteral("Apps/Mail - Work.app"), S }, true };
        QTest::newRow("uninstall: only Tandrel's folders")
            << Trap { [] {
                         wrapper(QStringLiteral("Mail - Work"), id1, D1);
                         put(D1 + QStringLiteral("/Cookies"));
                         put(S + QStringLiteral("/.DS_Store"), "finder");
                     },
                   {}, { S, D } };
    }
    void removal_losesNothingOutsideWhatTandrelMade()
    {
        QFETCH(Trap, trap);
        trap.plant();
        const QMap<QString, QString> before = snapshot();
        if (trap.victim.isEmpty()) {
            UninstallSteps steps;
            steps.quit = [] {};
            QVERIFY(uninstall(steps));
            QCOMPARE(!m_notices.isEmpty(), trap.told);
        } else {
            Store store(QStringList {});
            const auto listed = std::find_if(store.spaces().cbegin(), store.spaces().cend(),
                [&trap](const SpaceInfo &s) { return s.id() == at(trap.victim); });
            SpaceInfo space { QUrl::fromLocalFile(at(trap.victim)), {}, {}, at(trap.givenData), {},
                trap.givenId };
            if (listed != store.spaces().cend())
                space = *listed;
            else
                QVERIFY(!trap.givenId.isEmpty());
            const RemovalReport report = store.deleteSpace(space);
            QCOMPARE(!report.isComplete(), trap.told);
            QCOMPARE(report.message().isEmpty(), !trap.told);
        }
        const QStringList changes = unexpectedChanges(before, snapshot(), trap.gone);
        QVERIFY2(changes.isEmpty(), qPrintable(changes.join(QStringLiteral(", "))));
        QVERIFY(fakeHomeIntact(home()));
    }

    // Without a usable home nothing is written anywhere
    void unusableHome_isAClearErrorAndWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("value"); // "<unset>" unsets it
        QTest::newRow("unset") << QByteArray("<unset>");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("relative") << QByteArray("relative/home");
        QTest::newRow("the root") << QByteArray("/");
        QTest::newRow("not text") << QFile::encodeName(at(QStringLiteral("nu"))) + "\xffhome";
    }
    void unusableHome_isAClearErrorAndWritesNothing()
    {
        QFETCH(QByteArray, value);
        const QString apps = at(QStringLiteral("Apps"));
        const InstalledApp app { QUrl::fromLocalFile(makeFakeBundle(apps, QStringLiteral("Notes"))) };
        // Where a wrong home would put things: the system's own folders, and (relative) the
        // working folder, which is made a scratch folder here.
        const QStringList wrongPlaces { QStringLiteral("/Applications/Tandrel"),
            QStringLiteral("/Library/Application Support/Tandrel"), at(QStringLiteral("scratch/relative")) };
        for (const QString &place : wrongPlaces) {
            if (QFileInfo::exists(place))
                QSKIP("a folder a wrong home would write to exists already; not risking it");
        }
        const QStringList parents { QStringLiteral("/Library/Application Support"),
            QStringLiteral("/Library"), QStringLiteral("/Applications") };
        QStringList madeParents; // the parents a regression would make, to take away again
        for (const QString &parent : parents) {
            if (!QFileInfo::exists(parent))
                madeParents << parent;
        }
        fs::createDirectory(at(QStringLiteral("scratch")));
        const QString savedFolder = QDir::currentPath();
        QDir::setCurrent(at(QStringLiteral("scratch")));
        const QMap<QString, QString> before = snapshot();
        const QByteArray saved = qgetenv("HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", saved);
            QDir::setCurrent(savedFolder);
            // A regression must not leave its mess behind: these did not exist before.
            for (const QString &place : wrongPlaces) {
                if (QFileInfo::exists(place))
                    fs::removeItem(place);
            }
            for (const QString &parent : madeParents)
                QDir().rmdir(parent); // only when empty
        });
        if (value == "<unset>")
            qunsetenv("HOME");
        else
            qputenv("HOME", value);
        Store store(QStringList { apps });
        QVERIFY(store.spaces().isEmpty());
        QVERIFY(!uninstall(UninstallSteps {}));
        QCOMPARE(m_notices.size(), 1);
        for (const QString &place : wrongPlaces)
            QVERIFY2(!QFileInfo::exists(place), qPrintable(place));
        qputenv("HOME", saved);
        QVERIFY(unexpectedChanges(before, snapshot(), {}).isEmpty());
    }

    // Hostile names and paths, created and then run for real
    void hostileNames_stayText_data()
    {
        QTest::addColumn<QString>("appName");
        QTest::addColumn<QString>("instanceName");
        QTest::newRow("command substitution") << "$(touch pwned)" << QStringLiteral("$(touch pwned2)");
        QTest::newRow("backquotes") << "`touch pwned`" << QStringLiteral("a `touch pwned2` b");
        QTest::newRow("quotes") << "Say \"hi\"" << QStringLiteral("it's \"mine\"");
        QTest::newRow("newline in the app's name") << "two\nlines" << QStringLiteral("Work");
        QTest::newRow("emoji") << "Chat 💬" << QStringLiteral("Trabajo 🚀");
    }
    void hostileNames_stayText()
    {
        QFETCH(QString, appName);
        QFETCH(QString, instanceName);
        FakeBundleOptions options;
        options.recordFile = at(QStringLiteral("records/launched"));
        const InstalledApp app { QUrl::fromLocalFile(
            makeFakeBundle(at(QStringLiteral("Apps")), appName, options)) };
        Store store(QStringList {});
        const QString wrapperPath = plainPath(store.createSpace(app, instanceName, Mode::Home));
        const QString scratch = at(QStringLiteral("records/cwd"));
        fs::createDirectory(scratch);
        QVERIFY(runLauncher(wrapperPath, scratch));
        QCOMPARE(QDir(scratch).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        const auto launched = readLaunchRecord(options.recordFile);
        QVERIFY(launched);
        const QString dataDir = *store.spaces().first().dataDir;
        QCOMPARE(launched->home, dataDir + QStringLiteral("/home"));
        QCOMPARE(launched->arguments, QStringList { QStringLiteral("an $(argument)") });
        for (const char *folder : { "Downloads", "Documents", "Desktop" })
            QCOMPARE(QFileInfo(dataDir + QStringLiteral("/home/") + QLatin1String(folder)).symLinkTarget(),
                at(QLatin1String(folder)));
        QVERIFY(store.deleteSpace(store.spaces().first()).isComplete());
        QVERIFY(store.spaces().isEmpty());
        QVERIFY(!QFileInfo::exists(dataDir));
        QVERIFY(fakeHomeIntact(home()));
    }

    // Hostile records
    void hugeRecord_listedWithoutFactsNeverReadWhole()
    {
        wrapper(QStringLiteral("Notes - Work"), id1, {});
        QFile file(at(S + QStringLiteral("/Notes - Work.app/Contents/Resources/space.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"id\": \"" + id1.toUtf8() + "\", \"dataDir\": \"" + home().toUtf8() + "\"");
        QVERIFY(file.resize(2LL * 1024 * 1024 * 1024));
        file.close();
        Store store(QStringList {});
        QCOMPARE(store.spaces().size(), 1);
        QVERIFY(!store.spaces().first().dataDir && !store.spaces().first().targetPath);
        QVERIFY(store.deleteSpace(store.spaces().first()).isComplete());
        QVERIFY(fakeHomeIntact(home()));
    }

    // Folders in the way and writes that fail half-way
    // A folder in the way is named, with what is wrong with it; nothing is written
    void instancesFolderInTheWay_clearErrorAndNothingElse_data()
    {
        QTest::addColumn<bool>("danglingLink");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a file") << false << QStringLiteral("\"%1\" isn't a folder.");
        QTest::newRow("a link to nothing")
            << true << QStringLiteral("\"%1\" is a symbolic link to a folder that doesn't exist.");
    }
    void instancesFolderInTheWay_clearErrorAndNothingElse()
    {
        QFETCH(bool, danglingLink);
        QFETCH(QString, expected);
        if (danglingLink) {
            fs::createDirectory(at(QStringLiteral("Applications")));
            QVERIFY(QFile::link(at(QStringLiteral("Gone")), at(S)));
        } else {
            put(S, "not a folder");
        }
        const InstalledApp app { QUrl::fromLocalFile(
            makeFakeBundle(at(QStringLiteral("Apps")), QStringLiteral("Notes"))) };
        Store store(QStringList {});
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
        const QMap<QString, QString> before = snapshot();
        try {
            store.createSpace(app, QStringLiteral("Work"), Mode::Auto);
            QFAIL("no error");
        } catch (const TandrelError &error) {
            QCOMPARE(error.errorDescription(), expected.arg(at(S)));
        }
        const QStringList changes = unexpectedChanges(before, snapshot(), {});
        QVERIFY2(changes.isEmpty(), qPrintable(changes.join(QStringLiteral(", "))));
    }

    // A full disk half-way: the path and the system's reason, and nothing of it left
    void fileSizeLimitHalfWay_nothingLeftBehind()
    {
        const InstalledApp app { QUrl::fromLocalFile(
            makeFakeBundle(at(QStringLiteral("Apps")), QStringLiteral("Notes"))) };
        Store store(QStringList {});
        const QMap<QString, QString> before = snapshot();
        // As `ulimit -f` would: writes past 256 bytes fail with EFBIG instead of a signal.
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous {};
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
        QVERIFY2(message.startsWith(at(S)) && message.endsWith(QStringLiteral(": ") + strerror(EFBIG)),
            qPrintable(message));
        QVERIFY(store.spaces().isEmpty());
        QStringList changes = unexpectedChanges(before, snapshot(), {});
        // The folders that hold instances and data stay, empty.
        for (const QString &folder : { S, D })
            for (QString part = folder; !part.isEmpty(); part = part.section(QLatin1Char('/'), 0, -2))
                changes.removeAll(QStringLiteral("added ") + part);
        QVERIFY2(changes.isEmpty(), qPrintable(changes.join(QStringLiteral(", "))));
    }
};

TANDREL_WIDGETS_TEST_MAIN(DataSafetyTest)
#include "tst_datasafety.moc"
