#include "model/InstalledApp.h"
#include "model/LaunchStrategy.h"
#include "model/Mode.h"
#include "model/SpaceInfo.h"
#include "model/Store.h"
#include "model/TandrelError.h"
#include "support/TestEnvironment.h"

#include <QDir>
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
        QTest::newRow("plain") << "/Applications/Notes.app" << "/Applications/Notes.app" << "Notes";
        QTest::newRow("blank in name") << "/Applications/Example Browser.app" << "/Applications/Example Browser.app" << "Example Browser";
        QTest::newRow("dots keep all but the last extension") << "/Applications/Big.Tool.app" << "/Applications/Big.Tool.app" << "Big.Tool";
        QTest::newRow("trailing separator") << "/Applications/Mail.app/" << "/Applications/Mail.app" << "Mail";
        QTest::newRow("accents") << "/Users/ana/Applications/Diseño.app" << "/Users/ana/Applications/Diseño.app" << "Diseño";
    }
    void installedApp_nameAndId()
    {
        QFETCH(QString, path);
        QFETCH(QString, id);
        QFETCH(QString, name);
        const InstalledApp app{QUrl::fromLocalFile(path)};
        QCOMPARE(app.id(), id);
        QCOMPARE(app.name(), name);
    }

    void installedApp_equalUrlsAreEqualAndHashAlike()
    {
        const InstalledApp a{QUrl::fromLocalFile(QStringLiteral("/Applications/Notes.app"))};
        const InstalledApp b{QUrl::fromLocalFile(QStringLiteral("/Applications/Notes.app"))};
        const InstalledApp c{QUrl::fromLocalFile(QStringLiteral("/Applications/Mail.app"))};
        QVERIFY(a == b);
        QVERIFY(!(a == c));
        QCOMPARE(qHash(a), qHash(b));
        QCOMPARE(QSet<InstalledApp>({a, b, c}).size(), 2);
        QCOMPARE((std::unordered_set<InstalledApp>{a, b, c}.size()), size_t(2));
    }

    void spaceInfo_idIsWrapperPath()
    {
        const SpaceInfo space{QUrl::fromLocalFile(QStringLiteral("/Users/ana/Applications/Tandrel/Mail - Work.app")),
                              QStringLiteral("Mail - Work"), std::nullopt, std::nullopt, std::nullopt};
        QCOMPARE(space.id(), QStringLiteral("/Users/ana/Applications/Tandrel/Mail - Work.app"));
    }

    // Mode and launch strategy
    void modeFromRawValue_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<int>("expected"); // -1: nothing
        QTest::newRow("Automático") << "Automático" << int(Mode::Auto);
        QTest::newRow("HOME aislado") << "HOME aislado" << int(Mode::Home);
        QTest::newRow("auto") << "auto" << -1;
        QTest::newRow("home") << "home" << -1;
        QTest::newRow("lower case") << "automático" << -1;
        QTest::newRow("without accent") << "Automatico" << -1;
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

    void modes_autoFirst()
    {
        QCOMPARE(allModes(), (QList<Mode>{Mode::Auto, Mode::Home}));
        QCOMPARE(Store::Mode::Home, Mode::Home);
    }

    void strategyTexts()
    {
        QCOMPARE(strategyText(LaunchStrategy::IsolatedHome), QStringLiteral("home"));
        QCOMPARE(strategyText(LaunchStrategy::UserDataDir), QStringLiteral("udd"));
        QCOMPARE(strategyText(LaunchStrategy::GeckoProfile), QStringLiteral("gecko"));
        for (auto s : {LaunchStrategy::IsolatedHome, LaunchStrategy::UserDataDir, LaunchStrategy::GeckoProfile})
            QCOMPARE(strategyFromText(strategyText(s)), std::optional(s));
        QCOMPARE(strategyFromText(QStringLiteral("HOME")), std::nullopt);
    }

    // Errors
    void tandrelError_descriptionIsTheMessage()
    {
        const QString text = QStringLiteral("Give the instance a name.");
        try {
            throw TandrelError::msg(text);
        } catch (const std::exception &error) {
            QCOMPARE(QString::fromUtf8(error.what()), text);
            QCOMPARE(dynamic_cast<const TandrelError &>(error).errorDescription(), text);
        }
        QCOMPARE(TandrelError(QStringLiteral("Ponle un nombre a la instancia.")).errorDescription(),
                 QStringLiteral("Ponle un nombre a la instancia."));
    }

    // Store
    void store_startsEmpty()
    {
        Store store(QStringList{});
        QVERIFY(store.apps().isEmpty());
        QVERIFY(store.spaces().isEmpty());
        QVERIFY(store.sandboxedPaths().isEmpty());
    }

    void store_foldersFollowHomeAtEachUse()
    {
        const QByteArray original = qgetenv("HOME");
        QVERIFY(original == QFile::encodeName(test::isolatedHome()));
        Store store(QStringList{});
        QCOMPARE(store.spacesDir(), test::isolatedHome() + QStringLiteral("/Applications/Tandrel"));
        QCOMPARE(store.dataRoot(), test::isolatedHome() + QStringLiteral("/Library/Application Support/Tandrel"));
        const QString other = test::isolatedHome() + QStringLiteral("/other user");
        qputenv("HOME", QFile::encodeName(other));
        QCOMPARE(store.spacesDir(), other + QStringLiteral("/Applications/Tandrel"));
        QCOMPARE(store.dataRoot(), other + QStringLiteral("/Library/Application Support/Tandrel"));
        qputenv("HOME", original);
        // Reading a location never creates it.
        QVERIFY(!QFileInfo::exists(store.spacesDir()));
        QVERIFY(!QFileInfo::exists(store.dataRoot()));
    }

    void store_applicationFolders()
    {
        QCOMPARE(Store::defaultApplicationFolders(),
                 (QStringList{QStringLiteral("/Applications"), test::isolatedHome() + QStringLiteral("/Applications")}));
        const Store custom(QStringList{QStringLiteral("/tmp/a"), QStringLiteral("/tmp/b")});
        QCOMPARE(custom.applicationFolders(), (QStringList{QStringLiteral("/tmp/a"), QStringLiteral("/tmp/b")}));
    }
};

TANDREL_TEST_MAIN(ModelsTest)
#include "tst_models.moc"
