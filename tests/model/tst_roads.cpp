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

using namespace tandrel;

namespace {

// A road for "<name>.<kind>" paths that records what it was asked. Its instances are the
// spaces it was given or wrote; its data lives in "<home>/<kind>-data" (and, as an earlier
// release's root, "<home>/<kind>-old").
class FakeRoad final : public Road
{
public:
    explicit FakeRoad(QString kind)
        : m_kind(std::move(kind))
    {
    }

    QString path(const QString &name) const
    {
        return test::isolatedHome() + QLatin1Char('/') + name + QLatin1Char('.') + m_kind;
    }

    bool owns(const QString &path) const override { return path.endsWith(QLatin1Char('.') + m_kind); }
    QStringList defaultFolders() const override { return { QLatin1Char('/') + m_kind }; }
    QList<InstalledApp> listApps(const QStringList &folders) const override
    {
        QList<InstalledApp> apps;
        for (const QString &folder : folders)
            apps << InstalledApp { QUrl::fromLocalFile(folder + QStringLiteral("/Zed.") + m_kind) }
                 << InstalledApp { QUrl::fromLocalFile(folder + QStringLiteral("/alpha.") + m_kind) };
        return apps;
    }
    std::optional<InstalledApp> appAt(const QString &path) const override
    {
        return InstalledApp { QUrl::fromLocalFile(path) };
    }
    bool isSandboxed(const QString &) const override { return false; }
    AppFacts factsOf(const InstalledApp &, Mode mode) const override
    {
        AppFacts facts = facts_;
        if (mode == Mode::Home && facts.strategy)
            facts.strategy = LaunchStrategy::IsolatedHome;
        return facts;
    }
    QString sandboxWarning(const InstalledApp &) const override { return {}; }
    QString sandboxTooltip(const InstalledApp &) const override { return {}; }
    QString sandboxExplanation() const override { return m_kind + QStringLiteral(" reason"); }
    QImage icon(const QString &) const override { return {}; }
    QString dataRoot() const override
    {
        return test::isolatedHome() + QLatin1Char('/') + m_kind + QStringLiteral("-data");
    }
    QStringList dataRoots() const override
    {
        return { dataRoot(), test::isolatedHome() + QLatin1Char('/') + m_kind + QStringLiteral("-old") };
    }
    QString writeInstance(const InstalledApp &target, const SpaceRecord &record) const override
    {
        written.append(record);
        const QString launcher = path(target.name() + QStringLiteral(" - ") + record.name);
        instances.append({ QUrl::fromLocalFile(launcher), baseNameWithoutExtension(launcher), target.id(),
            record.dataDir, record.createdAt, record.id });
        return launcher;
    }
    void finishInstance(const QString &launcher) const override
    {
        asked << QStringLiteral("finish ") + launcher;
    }
    QList<SpaceInfo> scanInstances() const override { return instances; }
    bool removeLauncher(const SpaceInfo &space, RemovalReport &) const override
    {
        asked << QStringLiteral("remove ") + space.name;
        return launcherGoes;
    }
    void removeAll(RemovalReport &) const override { asked << QStringLiteral("remove all ") + m_kind; }
    void launch(const SpaceInfo &space) const override { asked << QStringLiteral("launch ") + space.name; }
    QList<UninstallPlace> uninstallPlaces() const override
    {
        return { { UninstallPlace::Holds::Data, dataRoot() } };
    }

    AppFacts facts_ { QStringLiteral("id"), false, LaunchStrategy::UserDataDir, {}, {} };
    bool launcherGoes = true;
    mutable QList<SpaceRecord> written;
    mutable QList<SpaceInfo> instances;
    mutable QStringList asked;

private:
    QString m_kind;
};

} // namespace

class RoadsTest : public QObject
{
    Q_OBJECT

    FakeRoad m_one { QStringLiteral("one") };
    FakeRoad m_two { QStringLiteral("two") };

    InstalledApp app(const FakeRoad &road, const QString &name)
    {
        return InstalledApp { QUrl::fromLocalFile(road.path(name)) };
    }

private Q_SLOTS:
    void initTestCase()
    {
        setRoads({ &m_one, &m_two });
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
    }
    void init()
    {
        for (FakeRoad *road : { &m_one, &m_two }) {
            road->facts_ = { QStringLiteral("id"), false, LaunchStrategy::UserDataDir, {}, {} };
            road->launcherGoes = true;
            road->written.clear();
            road->instances.clear();
            road->asked.clear();
        }
    }

    // Every road is asked, in order; each app and instance goes to the road that owns it
    void everyRoadInOrder()
    {
        QCOMPARE(Store::defaultApplicationFolders(),
            QStringList({ QStringLiteral("/one"), QStringLiteral("/two") }));
        QStringList names;
        for (const InstalledApp &listed : Store::listApps({ QStringLiteral("/f") }))
            names << listed.id();
        QCOMPARE(names, QStringList({ "/f/alpha.one", "/f/alpha.two", "/f/Zed.one", "/f/Zed.two" }));
        QCOMPARE(&roadFor(m_two.path(QStringLiteral("x"))), &m_two);
        QCOMPARE(&roadFor(QStringLiteral("/no/road/owns/this")), &m_one);
        QCOMPARE(
            Store::sandboxExplanation({ app(m_two, QStringLiteral("B")), app(m_one, QStringLiteral("A")) }),
            QStringLiteral("one reason\n\ntwo reason"));
        QCOMPARE(
            Store::sandboxExplanation({ app(m_two, QStringLiteral("B")) }), QStringLiteral("two reason"));
        QCOMPARE(Store::uninstallPlaces().size(), 2);
        Store::removeEverything();
        QCOMPARE(m_one.asked + m_two.asked, QStringList({ "remove all one", "remove all two" }));
    }

    // Creation: the shared steps, then the road writes what the Store decided
    void create_recordDecidedByTheStore()
    {
        Store store(QStringList {}, nullptr, Store::Start::Idle);
        const QUrl launcher
            = store.createSpace(app(m_two, QStringLiteral("Mail")), QStringLiteral("  Work\" "), Mode::Auto);
        QCOMPARE(launcher.toLocalFile(), m_two.path(QStringLiteral("Mail - Work")));
        QVERIFY(m_one.written.isEmpty());
        QCOMPARE(m_two.written.size(), 1);
        const SpaceRecord record = m_two.written.first();
        QVERIFY(isInstanceId(record.id));
        QCOMPARE(QStringList({ record.name, record.target, strategyText(record.mode), record.dataDir }),
            QStringList({ "Work", m_two.path(QStringLiteral("Mail")), "udd",
                m_two.dataRoot() + QLatin1Char('/') + record.id }));
        QCOMPARE(record.createdAt.timeSpec(), Qt::UTC);
        QCOMPARE(m_two.asked, QStringList { QStringLiteral("finish ") + launcher.toLocalFile() });
        QCOMPARE(store.spaces().size(), 1); // rescanned
        // The mode the user forces wins over the road's choice; Home mode is the road's to apply.
        store.createSpace(
            app(m_two, QStringLiteral("Mail")), QStringLiteral("Gecko"), LaunchStrategy::GeckoProfile);
        store.createSpace(app(m_two, QStringLiteral("Mail")), QStringLiteral("Home"), Mode::Home);
        QCOMPARE(strategyText(m_two.written[1].mode) + strategyText(m_two.written[2].mode),
            QStringLiteral("geckohome"));
        QVERIFY(m_two.written[1].id != record.id);
    }

    void create_refusedBeforeTheRoadWrites_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refusal"); // the road's
        QTest::addColumn<bool>("strategy");
        QTest::addColumn<QString>("expected"); // a word of the message
        QTest::newRow("blank name") << " \"\" "
                                    << "" << true << "name";
        QTest::newRow("the road refuses") << "Work"
                                          << "Not this one." << false << "Not this one.";
        QTest::newRow("no strategy without a word why") << "Work"
                                                        << "" << false << "read";
        QTest::newRow("a name the road lists already") << "Taken"
                                                       << "" << true << "already exists";
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
        m_one.instances.append({ QUrl::fromLocalFile(m_one.path(QStringLiteral("Mail - Taken"))),
            QStringLiteral("Mail - Taken"), {}, {}, {} });
        // The other road's instance of that name does not count.
        m_two.instances.append({ QUrl::fromLocalFile(m_two.path(QStringLiteral("Mail - Work"))),
            QStringLiteral("Mail - Work"), {}, {}, {} });
        Store store(QStringList {}, nullptr, Store::Start::Idle);
        try {
            store.createSpace(app(m_one, QStringLiteral("Mail")), name, Mode::Auto);
            QFAIL("not refused");
        } catch (const TandrelError &error) {
            QVERIFY2(error.errorDescription().contains(expected), qPrintable(error.errorDescription()));
        }
        QVERIFY(m_one.written.isEmpty() && m_one.asked.isEmpty());
    }

    // Deletion: the road removes its launcher; the Store removes the data folder only after
    // that, and only at "<root>/<id>" for one of the road's roots
    void delete_dataFolderUnderTheRoadsRoots_data()
    {
        QTest::addColumn<QString>("root"); // relative to the home
        QTest::addColumn<QString>("road");
        QTest::addColumn<bool>("launcherGoes");
        QTest::addColumn<bool>("dataGoes");
        QTest::newRow("its root") << "one-data"
                                  << "one" << true << true;
        QTest::newRow("an earlier release's root") << "one-old"
                                                   << "one" << true << true;
        QTest::newRow("another road's root") << "two-data"
                                             << "one" << true << false;
        QTest::newRow("launcher kept") << "one-data"
                                       << "one" << false << false;
        QTest::newRow("the other road") << "two-old"
                                        << "two" << true << true;
    }
    void delete_dataFolderUnderTheRoadsRoots()
    {
        QFETCH(QString, root);
        QFETCH(QString, road);
        QFETCH(bool, launcherGoes);
        QFETCH(bool, dataGoes);
        FakeRoad &owner = road == QLatin1String("one") ? m_one : m_two;
        owner.launcherGoes = launcherGoes;
        const QString id = newInstanceId(),
                      data = test::isolatedHome() + QLatin1Char('/') + root + QLatin1Char('/') + id;
        fs::createDirectory(data + QStringLiteral("/profile"));
        const SpaceInfo space { QUrl::fromLocalFile(owner.path(QStringLiteral("Mail - Work"))),
            QStringLiteral("Mail - Work"), {}, data, {}, id };
        Store store(QStringList {}, nullptr, Store::Start::Idle);
        const RemovalReport report = store.deleteSpace(space);
        QCOMPARE(owner.asked, QStringList { QStringLiteral("remove Mail - Work") });
        QCOMPARE(fs::fileExists(data), !dataGoes);
        QCOMPARE(report.isComplete(), dataGoes);
        QVERIFY(launcherGoes || report.leftovers.first().reason == LeftoverReason::KeptWithInstance);
        store.launchSpace(space);
        QCOMPARE(owner.asked.last(), QStringLiteral("launch Mail - Work"));
        QDir(test::isolatedHome() + QLatin1Char('/') + root).removeRecursively();
    }
};

TANDREL_TEST_MAIN(RoadsTest)
#include "tst_roads.moc"
