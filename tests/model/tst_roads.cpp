// The Store on fake roads: the steps it takes itself (names, refusals, uniqueness, the id
// and the record, rescans, the data folder's removal) and what it leaves to each app's road.
#include "l10n/LanguageManager.h"
#include "model/InstanceId.h"
#include "model/Roads.h"
#include "model/Store.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>

using namespace tandrel;

namespace {

// A road for "<name>.<kind>" paths that records what it was asked. It lists one app per
// folder; its instances are those it was given or wrote; its data lives in "<home>/<kind>-data"
// and, as an earlier release's root, "<home>/<kind>-old".
class FakeRoad final : public Road
{
public:
    FakeRoad(QString kind, QString appName)
        : m_kind(std::move(kind))
        , m_appName(std::move(appName))
    {
    }

    QString path(const QString &name) const
    {
        return instancesFolder() + QLatin1Char('/') + name + QLatin1Char('.') + m_kind;
    }
    QString root(const char *suffix) const { return m_home + m_kind + QLatin1String(suffix); }

    bool owns(const QString &path) const override { return path.endsWith(QLatin1Char('.') + m_kind); }
    QStringList defaultFolders() const override { return { QLatin1Char('/') + m_kind }; }
    QList<InstalledApp> listApps(const QStringList &folders) const override
    {
        return { InstalledApp { QUrl::fromLocalFile(folders.first() + QLatin1Char('/') + m_appName) } };
    }
    std::optional<InstalledApp> appAt(const QString &) const override { return {}; }
    bool isSandboxed(const QString &) const override { return false; }
    AppFacts factsOf(const InstalledApp &, Mode) const override { return facts_; }
    QString sandboxWarning(const InstalledApp &) const override { return {}; }
    QString sandboxTooltip(const InstalledApp &) const override { return {}; }
    QString sandboxExplanation() const override { return m_kind; }
    QImage icon(const QString &) const override { return {}; }
    QString dataRoot() const override { return root("-data"); }
    QStringList dataRoots() const override { return { dataRoot(), root("-old") }; }
    QString instancesFolder() const override { return m_home + m_kind; }
    QString launcherPath(const InstalledApp &target, const SpaceRecord &record) const override
    {
        return path(target.name() + QStringLiteral(" - ") + record.name);
    }
    // A launcher is a file holding its id.
    void writeInstance(const InstalledApp &, const SpaceRecord &record, const QString &stagedLauncher,
        const QString &stagedData) const override
    {
        written.append(record);
        fs::createDirectory(stagedData);
        if (failWriting)
            throw FileSystemError(QStringLiteral("disk full"));
        fs::writeBytes(stagedLauncher, record.id.toUtf8());
    }
    void finishInstance(const QString &launcher) const override
    {
        asked << QStringLiteral("finish ") + launcher;
    }
    QList<SpaceInfo> scanInstances() const override
    {
        QList<SpaceInfo> spaces = instances;
        const QString folder = instancesFolder() + QLatin1Char('/');
        for (const QString &entry : QDir(folder).entryList({ QStringLiteral("*.") + m_kind }, QDir::Files)) {
            SpaceInfo space { QUrl::fromLocalFile(folder + entry), baseNameWithoutExtension(entry), {}, {},
                {} };
            space.instanceId = carriedId(folder + entry);
            spaces.append(space);
        }
        return spaces;
    }
    std::optional<QString> carriedId(const QString &launcher) const override
    {
        QFile file(launcher);
        const QString id = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        return isInstanceId(id) ? std::optional(id) : std::nullopt;
    }
    bool withdrawLauncher(const SpaceInfo &space, const QString &staged, RemovalReport &) const override
    {
        asked << QStringLiteral("remove ") + space.name;
        if (launcherGoes) {
            instances.removeIf([&space](const SpaceInfo &other) { return other.url == space.url; });
            QFile::rename(space.id(), staged);
        }
        return launcherGoes;
    }
    void removeAll(RemovalReport &) const override { asked << QStringLiteral("remove all ") + m_kind; }
    void launch(const SpaceInfo &space, const QStringList &links, const LaunchFailureHandler &) const override
    {
        asked << (QStringLiteral("launch ") + space.name + QLatin1Char(' ') + links.join(QLatin1Char(' ')))
                     .trimmed();
    }
    bool opensLinks(const InstalledApp &) const override { return true; }
    QList<InstalledApp> linkApps() const override { return {}; }
    void openLinksInApp(const InstalledApp &app, const QStringList &links) const override
    {
        asked << QStringLiteral("links ") + app.name() + QLatin1Char(' ') + links.join(QLatin1Char(' '));
    }
    QList<UninstallPlace> uninstallPlaces() const override
    {
        return { { UninstallPlace::Holds::Data, dataRoot() } };
    }

    AppFacts facts_;
    bool launcherGoes = true;
    bool failWriting = false;
    mutable QList<SpaceRecord> written;
    mutable QList<SpaceInfo> instances;
    mutable QStringList asked;

private:
    QString m_home = test::isolatedHome() + QLatin1Char('/');
    QString m_kind;
    QString m_appName;
};

} // namespace

class RoadsTest : public QObject
{
    Q_OBJECT

    FakeRoad m_one { QStringLiteral("one"), QStringLiteral("zed.one") };
    FakeRoad m_two { QStringLiteral("two"), QStringLiteral("Alpha.two") };
    Store m_store { QStringList {}, nullptr, Store::Start::Idle };

    InstalledApp app(const FakeRoad &road) { return InstalledApp { QUrl::fromLocalFile(road.path("Mail")) }; }

private Q_SLOTS:
    void initTestCase() { setRoads({ &m_one, &m_two }); }
    void init()
    {
        for (FakeRoad *road : { &m_one, &m_two }) {
            road->facts_ = { QStringLiteral("id"), false, LaunchStrategy::UserDataDir, {}, {} };
            road->failWriting = false;
            road->launcherGoes = true;
            road->written.clear();
            road->instances.clear();
            road->asked.clear();
        }
        QDir(test::isolatedHome()).removeRecursively();
        QDir().mkpath(test::isolatedHome());
    }
    QStringList homeContents() const
    {
        QStringList found;
        QDirIterator it(test::isolatedHome(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
            QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next().mid(test::isolatedHome().size() + 1);
        found.sort();
        return found;
    }

    // Every road is asked, in order; each app and instance goes to the road that owns it
    void everyRoadInOrder()
    {
        QCOMPARE(Store::defaultApplicationFolders(), QStringList({ "/one", "/two" }));
        const QList<InstalledApp> apps = Store::listApps({ QStringLiteral("/f") });
        QCOMPARE(apps.size(), 2);
        QCOMPARE(apps.first().id() + apps.last().id(), QStringLiteral("/f/Alpha.two/f/zed.one")); // sorted
        QCOMPARE(&roadFor(QStringLiteral("/no/road/owns/this")), &m_one);
        QCOMPARE(Store::sandboxExplanation({ app(m_two), app(m_one) }), QStringLiteral("one\n\ntwo"));
        QCOMPARE(Store::sandboxExplanation({ app(m_two) }), QStringLiteral("two"));
        QCOMPARE(Store::uninstallPlaces().size(), 2);
        Store::removeEverything();
        QCOMPARE(m_one.asked + m_two.asked, QStringList({ "remove all one", "remove all two" }));
    }

    // Creation: the shared steps, then the road writes what the Store decided
    void create_recordDecidedByTheStore()
    {
        // Trimmed before its quotes go: "\" Work" is " Work".
        const QUrl launcher = m_store.createSpace(app(m_two), QStringLiteral("\" Work\n"), Mode::Auto);
        QCOMPARE(launcher.toLocalFile(), m_two.path(QStringLiteral("Mail -  Work")));
        QVERIFY(m_one.written.isEmpty());
        QCOMPARE(m_two.written.size(), 1);
        const SpaceRecord record = m_two.written.first();
        QVERIFY(isInstanceId(record.id));
        QCOMPARE(QStringList({ record.name, record.target, strategyText(record.mode), record.dataDir }),
            QStringList(
                { " Work", m_two.path("Mail"), "udd", m_two.dataRoot() + QLatin1Char('/') + record.id }));
        QCOMPARE(record.createdAt.timeSpec(), Qt::UTC);
        QCOMPARE(m_two.asked, QStringList { QStringLiteral("finish ") + launcher.toLocalFile() });
        QCOMPARE(m_store.spaces().size(), 1); // rescanned
        // The strategy the user forces wins over the road's; every instance has an id of its own.
        // "<app> - <name>.app" may take 255 bytes: 122 two-byte letters fit.
        m_store.createSpace(app(m_two), QString(122, QChar(0xe9)), LaunchStrategy::GeckoProfile);
        QCOMPARE(m_two.written[1].mode, LaunchStrategy::GeckoProfile);
        QVERIFY(m_two.written[1].id != record.id);
    }

    void create_refusedBeforeTheRoadWrites_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refusal"); // the road's
        QTest::addColumn<bool>("strategy");
        QTest::addColumn<QString>("expected"); // a word of the message
        QTest::newRow("empty name") << "" << QStringLiteral("") << true << "name";
        QTest::newRow("quotes and blanks only") << "\" \"" << QStringLiteral("") << true << "name";
        QTest::newRow("line break inside") << "Wo\nrk" << QStringLiteral("") << true << "control";
        QTest::newRow("NUL inside") << QString(QStringLiteral("Wo") + QChar(0) + "rk") << QString() << true
                                    << "control";
        // "Mail - " and ".app" take 11 bytes of 255: 122 two-byte letters fit, 123 do not.
        QTest::newRow("too long for a file name")
            << QString(123, QChar(0xe9)) << QString() << true << "too long";
        QTest::newRow("the road refuses")
            << "Work" << QStringLiteral("Not this one.") << false << "Not this one.";
        QTest::newRow("no strategy without a word why") << "Work" << QStringLiteral("") << false << "read";
        QTest::newRow("a name the road lists already")
            << "Taken" << QStringLiteral("") << true << "already exists";
    }
    void create_refusedBeforeTheRoadWrites()
    {
        QFETCH(QString, name);
        QFETCH(QString, refusal);
        QFETCH(bool, strategy);
        QFETCH(QString, expected);
        m_one.facts_.refusal = refusal;
        if (!strategy)
            m_one.facts_.strategy.reset();
        m_one.instances.append(
            { QUrl::fromLocalFile(m_one.path("Mail - Taken")), "Mail - Taken", {}, {}, {} });
        // The other road's instance of that name does not count.
        m_two.instances.append({ QUrl::fromLocalFile(m_two.path("Mail - Work")), "Mail - Work", {}, {}, {} });
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
        try {
            m_store.createSpace(app(m_one), name, Mode::Auto);
            QFAIL("not refused");
        } catch (const TandrelError &error) {
            QVERIFY2(error.errorDescription().contains(expected), qPrintable(error.errorDescription()));
        }
        QVERIFY(m_one.written.isEmpty() && m_one.asked.isEmpty());
    }

    // A creation that fails after writing leaves nothing behind, and never replaces a
    // launcher that appeared meanwhile under its name
    void create_failureRemovesWhatItWrote_data()
    {
        QTest::addColumn<bool>("failWriting");
        QTest::newRow("the disk refuses") << true;
        QTest::newRow("the name taken as it goes in place") << false;
    }
    void create_failureRemovesWhatItWrote()
    {
        QFETCH(bool, failWriting);
        m_two.failWriting = failWriting;
        // Not a launcher the road lists (a link to nothing), so only the placing finds it.
        QDir().mkpath(m_two.instancesFolder());
        if (!failWriting)
            QVERIFY(QFile::link(QStringLiteral("/nowhere"), m_two.path("Mail - Work")));
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
        const QStringList before = homeContents();
        try {
            m_store.createSpace(app(m_two), QStringLiteral("Work"), Mode::Auto);
            QFAIL("created");
        } catch (const std::exception &error) {
            QCOMPARE(QString::fromUtf8(error.what()).contains(QLatin1String("already exists")), !failWriting);
        }
        QCOMPARE(m_two.written.size(), 1);
        QStringList expected = before + QStringList { QStringLiteral("two"), QStringLiteral("two-data") };
        expected.removeDuplicates(); // the instances' folder and the lock's stay
        expected.sort();
        QCOMPARE(homeContents(), expected);
    }

    // Leftovers of an interrupted operation, found by the next one under the lock
    void recovery_data()
    {
        QTest::addColumn<QStringList>("planted"); // "path=content": a file, or a folder without "="
        QTest::addColumn<QStringList>("after");
        const QString x = QStringLiteral("0f0e0d0c-0b0a-4908-8706-050403020100");
        const QString dataX = QStringLiteral("two-data/") + x;
        const QString stagedX = QStringLiteral("two-data/.tandrel-") + x;
        QTest::newRow("a creation's data, its launcher in place") << QStringList { "two/Mail - A.two=" + x,
            stagedX + ".new" } << QStringList { "two/Mail - A.two", dataX };
        QTest::newRow("a creation's data, no launcher") << QStringList { stagedX + ".new" } << QStringList {};
        QTest::newRow("a creation's launcher")
            << QStringList { "two/.tandrel-" + x + ".new=" + x } << QStringList {};
        QTest::newRow("a deletion's launcher and its data")
            << QStringList { "two/.tandrel-" + x + ".gone=" + x, dataX } << QStringList {};
        QTest::newRow("a deletion's data") << QStringList { stagedX + ".gone" } << QStringList {};
        QTest::newRow("a deletion's launcher, the id listed by another")
            << QStringList { "two/.tandrel-" + x + ".gone=" + x, "one/Mail - B.one=" + x, dataX }
            << QStringList { "one/Mail - B.one", dataX };
        QTest::newRow("a launcher staged under an id it does not carry")
            << QStringList { "two/.tandrel-" + x + ".gone=", dataX } << QStringList { dataX };
        QTest::newRow("the writer's temporary files and others' look-alikes") << QStringList {
            "two/tandrel-a.desktop.tandrel-12-34=", "two/notes.tandrel-12-34=", "two-data/notes"
        } << QStringList { "two/notes.tandrel-12-34", "two-data/notes" };
    }
    void recovery()
    {
        QFETCH(QStringList, planted);
        QFETCH(QStringList, after);
        for (const QString &item : planted) {
            const QString path
                = test::isolatedHome() + QLatin1Char('/') + item.section(QLatin1Char('='), 0, 0);
            QDir().mkpath(item.contains(QLatin1Char('=')) ? path.section(QLatin1Char('/'), 0, -2) : path);
            if (item.contains(QLatin1Char('=')))
                fs::writeBytes(path, item.section(QLatin1Char('='), 1).toUtf8());
        }
        m_store.deleteSpace({ QUrl::fromLocalFile(m_two.path("Nothing")), "Nothing", {}, {}, {} });
        QStringList expected = after + QStringList { QStringLiteral("two-data") };
        for (const QString &item : planted + after) // the folders that held them stay
            if (item.count(QLatin1Char('/')) == 1)
                expected << item.section(QLatin1Char('/'), 0, 0);
        expected.removeDuplicates();
        expected.sort();
        QCOMPARE(homeContents(), expected);
    }

    // Deletion: the road removes its launcher; the Store removes the data folder only after
    // that, and only at "<root>/<id>" for one of the road's roots
    void delete_dataFolderUnderTheRoadsRoots_data()
    {
        QTest::addColumn<QString>("root"); // relative to the home
        QTest::addColumn<bool>("launcherGoes");
        QTest::addColumn<bool>("dataGoes");
        QTest::addColumn<bool>("idShared"); // another launcher carries the same id
        QTest::newRow("its root") << "two-data" << true << true << false;
        QTest::newRow("an earlier release's root") << "two-old" << true << true << false;
        QTest::newRow("another road's root") << "one-data" << true << false << false;
        QTest::newRow("launcher kept") << "two-data" << false << false << false;
        QTest::newRow("its id carried by another road's launcher") << "two-data" << true << false << true;
    }
    void delete_dataFolderUnderTheRoadsRoots()
    {
        QFETCH(QString, root);
        QFETCH(bool, launcherGoes);
        QFETCH(bool, dataGoes);
        QFETCH(bool, idShared);
        m_two.launcherGoes = launcherGoes;
        const QString id = newInstanceId(), data = test::isolatedHome() + QLatin1Char('/') + root + '/' + id;
        fs::createDirectory(data + QStringLiteral("/profile"));
        const SpaceInfo space { QUrl::fromLocalFile(m_two.path("Work")), "Work", {}, data, {}, id };
        m_two.instances.append(space);
        if (idShared)
            m_one.instances.append({ QUrl::fromLocalFile(m_one.path("Copy")), "Copy", {}, data, {}, id });
        const RemovalReport report = m_store.deleteSpace(space);
        QCOMPARE(fs::fileExists(data), !dataGoes);
        QCOMPARE(report.isComplete(), dataGoes);
        QVERIFY(launcherGoes || report.leftovers.first().reason == LeftoverReason::KeptWithInstance);
        m_store.launchSpace(space);
        QCOMPARE(m_one.asked + m_two.asked, QStringList({ "remove Work", "launch Work" }));
    }
};

TANDREL_TEST_MAIN(RoadsTest)
#include "tst_roads.moc"
