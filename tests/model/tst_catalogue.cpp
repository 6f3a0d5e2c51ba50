#include "model/Store.h"
#include "support/FakeBundle.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
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
    void scan_keepsOnlyExactAppExtension()
    {
        QDir().mkpath(wrapper(QStringLiteral("Work.APP")));
        QDir().mkpath(wrapper(QStringLiteral("Backup")));
        QDir().mkpath(wrapper(QStringLiteral("Mail.App")));
        write(wrapper(QStringLiteral("notes.txt")), "x");
        write(wrapper(QStringLiteral("Plain.app")), "a file named like a bundle still counts");
        Store store(QStringList {});
        QCOMPARE(names(store.spaces()), QStringList { QStringLiteral("Plain") });
    }

    void scan_recordFields_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("target"); // null: absent
        QTest::addColumn<QString>("dataDir");
        QTest::addColumn<QDateTime>("createdAt");
        const QDateTime moment(QDate(2025, 3, 14), QTime(9, 26, 53), QTimeZone::utc());
        QTest::newRow("complete, name ignored")
            << QByteArray(R"({"id":"x","name":"Other","target":"/Applications/Mail.app","mode":"home",)"
                          R"("dataDir":"/d/x","createdAt":"2025-03-14T09:26:53Z"})")
            << "/Applications/Mail.app" << QStringLiteral("/d/x") << moment;
        QTest::newRow("number as target")
            << QByteArray(R"({"target":42,"dataDir":"/d/x"})") << QString() << "/d/x" << QDateTime();
        QTest::newRow("date only") << QByteArray(R"({"createdAt":"2025-03-14"})") << QString() << QString()
                                   << QDateTime();
        QTest::newRow("not JSON") << QByteArray("{{{") << QString() << QString() << QDateTime();
    }
    void scan_recordFields()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, target);
        QFETCH(QString, dataDir);
        QFETCH(QDateTime, createdAt);
        writeRecord(QStringLiteral("Mail - Work.app"), json);
        Store store(QStringList {});
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

    void scan_sortsByNameIgnoringCase()
    {
        for (const char *name : { "gamma.app", "beta.app", "Alpha.app", "Web.v2.app" })
            QDir().mkpath(wrapper(QLatin1String(name)));
        Store store(QStringList {});
        QCOMPARE(names(store.spaces()),
            (QStringList { QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("gamma"),
                QStringLiteral("Web.v2") }));
    }

    // Instances another Tandrel makes or deletes show without a refresh, also when their
    // folder is made after the window opened
    void watch_showsInstancesMadeElsewhere()
    {
        Store store(QStringList {});
        QVERIFY(store.spaces().isEmpty());
        QDir().mkpath(wrapper(QStringLiteral("Work.app")));
        QTRY_COMPARE(names(store.spaces()), QStringList { QStringLiteral("Work") });
        QDir().mkpath(wrapper(QStringLiteral("Home.app")));
        QTRY_COMPARE(names(store.spaces()).size(), 2);
        QVERIFY(QDir(wrapper(QStringLiteral("Work.app"))).removeRecursively());
        QTRY_COMPARE(names(store.spaces()), QStringList { QStringLiteral("Home") });
    }

    // Clearing a cache removes the table's folders inside the data folder and nothing else
    void clearCache_onlyTheTablesFoldersNeverThroughLinks_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("folders"); // made under the data folder
        QTest::addColumn<QStringList>("left"); // what stays of them, sorted
        QTest::newRow("a Chromium profile in the data folder")
            << "udd"
            << QStringList { "Default/Cache", "Default/Cookies", "Profile 2/GPUCache", "ShaderCache",
                   "Mine/Cache" }
            << QStringList { "Default", "Default/Cookies", "Mine", "Mine/Cache", "Profile 2" };
        QTest::newRow("a Chromium profile in its profile folder")
            << "udd" << QStringList { "profile/Default/Code Cache", "profile/Default/History" }
            << QStringList { "profile", "profile/Default", "profile/Default/History" };
        QTest::newRow("a Gecko profile")
            << "gecko" << QStringList { "profile/cache2", "profile/places", "profile/startupCache" }
            << QStringList { "profile", "profile/places" };
        QTest::newRow("a home of its own") << "home" << QStringList { "home/.cache/x" }
                                           << QStringList { "home", "home/.cache", "home/.cache/x" };
        // A planted link: neither it nor what it points to is touched.
        QTest::newRow("a profile folder that is a link")
            << "udd" << QStringList { "@profile" } << QStringList { "profile" };
        QTest::newRow("a profile that is a link")
            << "udd" << QStringList { "@Default" } << QStringList { "Default" };
    }
    void clearCache_onlyTheTablesFoldersNeverThroughLinks()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, folders);
        QFETCH(QStringList, left);
        const QString data = test::isolatedHome() + QStringLiteral("/cachetest"),
                      outside = test::isolatedHome() + QStringLiteral("/outside");
        QDir(data).removeRecursively();
        QDir(outside).removeRecursively();
        QVERIFY(QDir().mkpath(outside + QStringLiteral("/Default/Cache")) && QDir().mkpath(data));
        for (const QString &folder : std::as_const(folders)) {
            if (folder.startsWith(QLatin1Char('@')))
                QVERIFY(QFile::link(outside, data + QLatin1Char('/') + folder.mid(1)));
            else
                QVERIFY(QDir().mkpath(data + QLatin1Char('/') + folder));
        }
        SpaceInfo space { QUrl::fromLocalFile(wrapper(QStringLiteral("X.app"))), QStringLiteral("X"),
            std::nullopt, data, std::nullopt };
        space.mode = mode;
        Store::clearCache(space);
        QStringList found;
        QDirIterator it(data, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
            QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next().mid(data.size() + 1);
        found.sort();
        QCOMPARE(found, left);
        QVERIFY(QFileInfo(outside + QStringLiteral("/Default/Cache")).isDir());
    }

    // Only a record that its wrapper's identifier vouches for may name the data to delete.
    void scan_instanceIdWhenWrapperAndRecordAgree_data()
    {
        QTest::addColumn<bool>("identifier");
        QTest::addColumn<QByteArray>("recordId");
        QTest::addColumn<bool>("bound");
        QTest::newRow("both name the id")
            << true << QByteArray("0f8fad5b-d9cb-469f-a165-70867728950e") << true;
        QTest::newRow("record of another instance")
            << true << QByteArray("7c9e6679-7425-40de-944b-e07fc1f90ae7") << false;
        QTest::newRow("record without id") << true << QByteArray() << false;
        QTest::newRow("no Tandrel identifier")
            << false << QByteArray("0f8fad5b-d9cb-469f-a165-70867728950e") << false;
    }
    void scan_instanceIdWhenWrapperAndRecordAgree()
    {
        QFETCH(bool, identifier);
        QFETCH(QByteArray, recordId);
        QFETCH(bool, bound);
        const QString id = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
        if (identifier)
            test::makeWrapper(Store::spacesDir(), QStringLiteral("Mail - Work"), id, std::nullopt);
        writeRecord(QStringLiteral("Mail - Work.app"),
            recordId.isEmpty() ? QByteArray("{}") : "{\"id\": \"" + recordId + "\"}");
        Store store(QStringList {});
        QCOMPARE(store.spaces().size(), 1);
        QCOMPARE(store.spaces().first().instanceId, bound ? std::optional(id) : std::nullopt);
    }

    // Opening
    void launch_opensTheWrapperOnly()
    {
        Store store(QStringList {});
        const QUrl url = QUrl::fromLocalFile(wrapper(QStringLiteral("Mail - Work.app")));
        store.launchSpace({ url, QString(), std::nullopt, std::nullopt, std::nullopt });
        QCOMPARE(m_workspace.opened, QList<QUrl> { url });
        QCOMPARE(m_workspace.executables, QStringList { QString() }); // no Info.plist, no executable
    }
};

TANDREL_TEST_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
