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

    QString path(const QString &name) const { return m_home + name + QLatin1Char('.') + m_kind; }
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
    QString writeInstance(const InstalledApp &target, const SpaceRecord &record) const override
    {
        written.append(record);
        const QString launcher = path(target.name() + QStringLiteral(" - ") + record.name);
        instances.append({ QUrl::fromLocalFile(launcher), baseNameWithoutExtension(launcher), {}, {}, {} });
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

    AppFacts facts_;
    bool launcherGoes = true;
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
            road->launcherGoes = true;
            road->written.clear();
            road->instances.clear();
            road->asked.clear();
        }
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

    // Deletion: the road removes its launcher; the Store removes the data folder only after
    // that, and only at "<root>/<id>" for one of the road's roots
    void delete_dataFolderUnderTheRoadsRoots_data()
    {
        QTest::addColumn<QString>("root"); // relative to the home
        QTest::addColumn<bool>("launcherGoes");
        QTest::addColumn<bool>("dataGoes");
        QTest::newRow("its root") << "two-data" << true << true;
        QTest::newRow("an earlier release's root") << "two-old" << true << true;
        QTest::newRow("another road's root") << "one-data" << true << false;
        QTest::newRow("launcher kept") << "two-data" << false << false;
    }
    void delete_dataFolderUnderTheRoadsRoots()
    {
        QFETCH(QString, root);
        QFETCH(bool, launcherGoes);
        QFETCH(bool, dataGoes);
        m_two.launcherGoes = launcherGoes;
        const QString id = newInstanceId(), data = test::isolatedHome() + QLatin1Char('/') + root + '/' + id;
        fs::createDirectory(data + QStringLiteral("/profile"));
        const SpaceInfo space { QUrl::fromLocalFile(m_two.path("Work")), "Work", {}, data, {}, id };
        const RemovalReport report = m_store.deleteSpace(space);
        QCOMPARE(fs::fileExists(data), !dataGoes);
        QCOMPARE(report.isComplete(), dataGoes);
        QVERIFY(launcherGoes || report.leftovers.first().reason == LeftoverReason::KeptWithInstance);
        m_store.launchSpace(space);
        QCOMPARE(m_one.asked + m_two.asked, QStringList({ "remove Work", "launch Work" }));
        QDir(test::isolatedHome() + QLatin1Char('/') + root).removeRecursively();
    }
};

TANDREL_TEST_MAIN(RoadsTest)
#include "tst_roads.moc"
