#include "model/InstalledApp.h"
#include "model/Mode.h"
#include "model/Store.h"
#include "support/TestEnvironment.h"

#include <QSet>

#include <unordered_set>

using namespace tandrel;

class ModelsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // InstalledApp
    void installedApp_nameAndId_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name");
        QTest::newRow("dots keep all but the last extension")
            << "/Applications/Big.Tool.app" << QStringLiteral("/Applications/Big.Tool.app") << "Big.Tool";
        QTest::newRow("trailing separator")
            << "/Applications/Mail.app/" << QStringLiteral("/Applications/Mail.app") << "Mail";
    }
    void installedApp_nameAndId()
    {
        QFETCH(QString, path);
        QFETCH(QString, id);
        QFETCH(QString, name);
        const InstalledApp app { QUrl::fromLocalFile(path) };
        QCOMPARE(app.id(), id);
        QCOMPARE(app.name(), name);
    }

    void installedApp_equalUrlsAreEqualAndHashAlike()
    {
        const InstalledApp a { QUrl::fromLocalFile(QStringLiteral("/Applications/Notes.app")) };
        const InstalledApp b { QUrl::fromLocalFile(QStringLiteral("/Applications/Notes.app")) };
        const InstalledApp c { QUrl::fromLocalFile(QStringLiteral("/Applications/Mail.app")) };
        QVERIFY(a == b);
        QCOMPARE(QSet<InstalledApp>({ a, b, c }).size(), 2);
        QCOMPARE((std::unordered_set<InstalledApp> { a, b, c }.size()), size_t(2));
    }

    // Mode and launch strategy
    void modeFromRawValue_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<int>("expected"); // -1: nothing
        QTest::newRow("Automático") << "Automático" << int(Mode::Auto);
        QTest::newRow("HOME aislado") << "HOME aislado" << int(Mode::Home);
        QTest::newRow("strategy text") << "home" << -1;
        QTest::newRow("lower case") << "automático" << -1;
        QTest::newRow("English label") << "Isolated HOME" << -1;
    }
    void modeFromRawValue()
    {
        QFETCH(QString, raw);
        QFETCH(int, expected);
        const auto mode = tandrel::modeFromRawValue(raw);
        QCOMPARE(mode.has_value(), expected >= 0);
        if (mode)
            QCOMPARE(int(*mode), expected);
    }

    // Store
    void store_foldersFollowHomeAtEachUse()
    {
        const QByteArray original = qgetenv("HOME");
        QVERIFY(original == QFile::encodeName(test::isolatedHome()));
        Store store(QStringList {});
        QCOMPARE(store.spacesDir(), test::isolatedHome() + QStringLiteral("/Applications/Tandrel"));
        QCOMPARE(
            store.dataRoot(), test::isolatedHome() + QStringLiteral("/Library/Application Support/Tandrel"));
        const QString other = test::isolatedHome() + QStringLiteral("/other user");
        qputenv("HOME", QFile::encodeName(other));
        QCOMPARE(store.spacesDir(), other + QStringLiteral("/Applications/Tandrel"));
        QCOMPARE(store.dataRoot(), other + QStringLiteral("/Library/Application Support/Tandrel"));
        qputenv("HOME", original);
        // Reading a location never creates it.
        QVERIFY(!QFileInfo::exists(store.spacesDir()));
        QVERIFY(!QFileInfo::exists(store.dataRoot()));
    }
};

TANDREL_TEST_MAIN(ModelsTest)
#include "tst_models.moc"
