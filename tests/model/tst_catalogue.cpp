#include "model/Store.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTimeZone>

using namespace tandrel;

namespace {

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList names(const QList<SpaceInfo> &spaces)
{
    QStringList result;
    for (const SpaceInfo &space : spaces)
        result << space.name;
    return result;
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class CatalogueTest : public QObject
{
    Q_OBJECT

    test::RecordingWorkspace m_workspace;

    static QString wrapper(const QString &name) { return Store::spacesDir() + QLatin1Char('/') + name; }

    static void writeRecord(const QString &wrapperName, const QByteArray &json)
    {
        write(wrapper(wrapperName) + QStringLiteral("/Contents/Resources/space.json"), json);
    }

private Q_SLOTS:
    void initTestCase() { m_workspace.install(); }
    void init()
    {
        QDir(test::isolatedHome() + QStringLiteral("/Applications")).removeRecursively();
        QDir(test::isolatedHome() + QStringLiteral("/Library")).removeRecursively();
    }

    // Scanning
    void scan_missingFolderGivesEmptyListAndCreatesNothing()
    {
        Store store(QStringList{});
        QVERIFY(store.spaces().isEmpty());
        QVERIFY(!QFileInfo::exists(Store::spacesDir()));
    }

    void scan_keepsOnlyExactAppExtension()
    {
        QDir().mkpath(wrapper(QStringLiteral("Work.APP")));
        QDir().mkpath(wrapper(QStringLiteral("Backup")));
        QDir().mkpath(wrapper(QStringLiteral("Mail.App")));
        write(wrapper(QStringLiteral("notes.txt")), "x");
        write(wrapper(QStringLiteral("Plain.app")), "a file named like a bundle still counts");
        Store store(QStringList{});
        QCOMPARE(names(store.spaces()), QStringList{QStringLiteral("Plain")});
    }

    void scan_recordFields_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("target");   // null: absent
        QTest::addColumn<QString>("dataDir");
        QTest::addColumn<QDateTime>("createdAt");
        const QDateTime moment(QDate(2025, 3, 14), QTime(9, 26, 53), QTimeZone::utc());
        QTest::newRow("complete, name ignored")
            << QByteArray(R"({"id":"x","name":"Other","target":"/Applications/Mail.app","mode":"home",)"
                          R"("dataDir":"/d/x","createdAt":"2025-03-14T09:26:53Z"})")
            << "/Applications/Mail.app" << "/d/x" << moment;
        QTest::newRow("number as target") << QByteArray(R"({"target":42,"dataDir":"/d/x"})") << QString() << "/d/x" << QDateTime();
        QTest::newRow("fractional seconds") << QByteArray(R"({"createdAt":"2025-03-14T09:26:53.120Z"})") << QString() << QString() << QDateTime();
        QTest::newRow("date only") << QByteArray(R"({"createdAt":"2025-03-14"})") << QString() << QString() << QDateTime();
        QTest::newRow("not JSON") << QByteArray("{{{") << QString() << QString() << QDateTime();
        QTest::newRow("array") << QByteArray(R"(["/Applications/Mail.app"])") << QString() << QString() << QDateTime();
    }
    void scan_recordFields()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, target);
        QFETCH(QString, dataDir);
        QFETCH(QDateTime, createdAt);
        writeRecord(QStringLiteral("Mail - Work.app"), json);
        Store store(QStringList{});
        QCOMPARE(store.spaces().size(), 1);
        const SpaceInfo space = store.spaces().first();
        QCOMPARE(space.name, QStringLiteral("Mail - Work"));
        QCOMPARE(space.id(), wrapper(QStringLiteral("Mail - Work.app")));
        QCOMPARE(space.targetPath.value_or(QString()), target);
        QCOMPARE(space.targetPath.has_value(), !target.isNull());
        QCOMPARE(space.dataDir.has_value(), !dataDir.isNull());
        QCOMPARE(space.dataDir.value_or(QString()), dataDir);
        QCOMPARE(space.createdAt.value_or(QDateTime()), createdAt);
    }

    void scan_wrapperWithoutRecordIsListed()
    {
        QDir().mkpath(wrapper(QStringLiteral("Work.app")));
        Store store(QStringList{});
        QCOMPARE(names(store.spaces()), QStringList{QStringLiteral("Work")});
        QVERIFY(!store.spaces().first().targetPath && !store.spaces().first().dataDir && !store.spaces().first().createdAt);
    }

    void scan_sortsByNameIgnoringCase()
    {
        for (const char *name : {"gamma.app", "beta.app", "Alpha.app", "Web.v2.app"})
            QDir().mkpath(wrapper(QLatin1String(name)));
        Store store(QStringList{});
        QCOMPARE(names(store.spaces()), (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta"),
                                                     QStringLiteral("gamma"), QStringLiteral("Web.v2")}));
    }

    // Deleting
    void delete_removesWrapperAndDataInsideRoot()
    {
        const QString data = Store::dataRoot() + QStringLiteral("/0f8fad5b");
        write(data + QStringLiteral("/Cookies"), "session");
        writeRecord(QStringLiteral("Mail - Work.app"), "{\"dataDir\":\"" + data.toUtf8() + "\"}");
        Store store(QStringList{});
        QSignalSpy spy(&store, &Store::spacesChanged);
        store.deleteSpace(store.spaces().first());
        QVERIFY(!QFileInfo::exists(wrapper(QStringLiteral("Mail - Work.app"))));
        QVERIFY(!QFileInfo::exists(data));
        QVERIFY(QFileInfo::exists(Store::dataRoot()));
        QVERIFY(store.spaces().isEmpty());
        QCOMPARE(spy.count(), 1);
    }

    void delete_wrapperAlreadyGoneStillRemovesDataAndRescans()
    {
        const QString data = Store::dataRoot() + QStringLiteral("/gone");
        write(data + QStringLiteral("/x"), "x");
        Store store(QStringList{});
        store.deleteSpace({QUrl::fromLocalFile(wrapper(QStringLiteral("Gone.app"))), QStringLiteral("Gone"),
                           std::nullopt, data, std::nullopt});
        QVERIFY(!QFileInfo::exists(data));
    }

    // Data folders that do not lie strictly inside the data root are never removed.
    void delete_leavesDataOutsideRoot_data()
    {
        QTest::addColumn<QString>("recorded");   // relative to home, "<link>" for a link inside the root
        QTest::addColumn<QString>("victim");     // relative to home: what must survive
        QTest::newRow("the root itself") << "Library/Application Support/Tandrel" << "Library/Application Support/Tandrel/other/keep.txt";
        QTest::newRow("root with trailing slash") << "Library/Application Support/Tandrel/" << "Library/Application Support/Tandrel/other/keep.txt";
        QTest::newRow("sibling sharing the prefix") << "Library/Application Support/Tandrel2/x" << "Library/Application Support/Tandrel2/x/keep.txt";
        QTest::newRow("dot-dot out of the root") << "Library/Application Support/Tandrel/../x" << "Library/Application Support/x/keep.txt";
        QTest::newRow("dot out to the root") << "Library/Application Support/Tandrel/." << "Library/Application Support/Tandrel/other/keep.txt";
        QTest::newRow("link inside pointing outside") << "<link>" << "outside/keep.txt";
        QTest::newRow("elsewhere") << "outside" << "outside/keep.txt";
    }
    void delete_leavesDataOutsideRoot()
    {
        QFETCH(QString, recorded);
        QFETCH(QString, victim);
        const QString home = test::isolatedHome() + QLatin1Char('/');
        write(home + victim, "keep");
        QString dataDir = home + recorded;
        if (recorded == QLatin1String("<link>")) {
            QDir().mkpath(Store::dataRoot());
            dataDir = Store::dataRoot() + QStringLiteral("/link");
            QVERIFY(QFile::link(home + QStringLiteral("outside"), dataDir));
        }
        Store store(QStringList{});
        store.deleteSpace({QUrl::fromLocalFile(wrapper(QStringLiteral("X.app"))), QStringLiteral("X"),
                           std::nullopt, dataDir, std::nullopt});
        QVERIFY2(QFileInfo::exists(home + victim), qPrintable(victim));
        QDir(home + QStringLiteral("outside")).removeRecursively();
    }

    void delete_isolatedHomeKeepsTheRealFolders()
    {
        const QString home = test::isolatedHome();
        const QString data = Store::dataRoot() + QStringLiteral("/abc");
        QDir().mkpath(data + QStringLiteral("/home"));
        for (const char *folder : {"Downloads", "Documents", "Desktop"}) {
            const QString real = home + QLatin1Char('/') + QLatin1String(folder);
            write(real + QStringLiteral("/keep.txt"), "precious");
            QVERIFY(QFile::link(real, data + QStringLiteral("/home/") + QLatin1String(folder)));
        }
        writeRecord(QStringLiteral("Mail - Work.app"), "{\"dataDir\":\"" + data.toUtf8() + "\"}");
        Store store(QStringList{});
        store.deleteSpace(store.spaces().first());
        QVERIFY(!QFileInfo::exists(data));
        for (const char *folder : {"Downloads", "Documents", "Desktop"})
            QCOMPARE(entries(home + QLatin1Char('/') + QLatin1String(folder)), QStringList{QStringLiteral("keep.txt")});
    }

    void delete_wrapperThatIsALinkRemovesOnlyTheLink()
    {
        const QString elsewhere = test::isolatedHome() + QStringLiteral("/elsewhere/Real.app");
        write(elsewhere + QStringLiteral("/Contents/Info.plist"), "keep");
        QDir().mkpath(Store::spacesDir());
        QVERIFY(QFile::link(elsewhere, wrapper(QStringLiteral("Linked.app"))));
        Store store(QStringList{});
        QCOMPARE(names(store.spaces()), QStringList{QStringLiteral("Linked")});
        store.deleteSpace(store.spaces().first());
        QVERIFY(!QFileInfo(wrapper(QStringLiteral("Linked.app"))).isSymLink());
        QVERIFY(QFileInfo::exists(elsewhere + QStringLiteral("/Contents/Info.plist")));
        QVERIFY(store.spaces().isEmpty());
        QDir(test::isolatedHome() + QStringLiteral("/elsewhere")).removeRecursively();
    }

    // Opening
    void launch_opensTheWrapperOnly()
    {
        Store store(QStringList{});
        const QUrl url = QUrl::fromLocalFile(wrapper(QStringLiteral("Mail - Work.app")));
        store.launchSpace({url, QString(), std::nullopt, std::nullopt, std::nullopt});
        QCOMPARE(m_workspace.opened, QList<QUrl>{url});
    }
};

TANDREL_TEST_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
