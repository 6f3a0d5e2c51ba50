#include "formats/Icns.h"
#include "formats/MachOSignature.h"
#include "l10n/LanguageManager.h"
#include "model/SpaceRecord.h"
#include "model/Store.h"
#include "model/TandrelError.h"
#include "model/bundle/WrapperTemplates.h"
#include "platform/FileSystem.h"
#include "support/FakeBundle.h"
#include "support/MachOBuilder.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace tandrel;
using namespace tandrel::test;

namespace {

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Every path under the folder with its size, to tell whether anything changed.
QStringList tree(const QString &folder)
{
    QStringList items;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        items << path + QLatin1Char(' ') + QString::number(it.fileInfo().size());
    }
    items.sort();
    return items;
}

QString language(LanguageManager::Choice choice)
{
    return LanguageManager::rawValue(choice);
}

} // namespace

class SpaceCreationTest : public QObject
{
    Q_OBJECT

    RecordingWorkspace m_workspace;
    QString m_apps;

    InstalledApp app(const QString &name, const FakeBundleOptions &options = {})
    {
        return InstalledApp { QUrl::fromLocalFile(makeFakeBundle(m_apps, name, options)) };
    }

    static QJsonObject record(const QUrl &wrapper)
    {
        return QJsonDocument::fromJson(
            readText(wrapper.toLocalFile() + QStringLiteral("/Contents/Resources/space.json")).toUtf8())
            .object();
    }

private Q_SLOTS:
    void initTestCase() { m_workspace.install(); }
    void init()
    {
        const QString home = isolatedHome();
        for (const char *folder : { "Applications", "Library", "Apps" })
            QDir(home + QLatin1Char('/') + QLatin1String(folder)).removeRecursively();
        m_apps = home + QStringLiteral("/Apps");
        QDir().mkpath(m_apps);
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
    }

    // Launch strategy
    void strategy_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<int>("marker");
        QTest::addColumn<bool>("electronToo");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("expected");
        const int none = int(BundleMarker::None), electron = int(BundleMarker::Electron),
                  xul = int(BundleMarker::Xul);
        const int automatic = int(Mode::Auto), home = int(Mode::Home);
        QTest::newRow("plain app, a family's prefix in other case")
            << "com.GOOGLE.chrome" << none << false << automatic << "home";
        QTest::newRow("chromium family") << "com.google.Chrome" << none << false << automatic << "udd";
        QTest::newRow("gecko family") << "org.mozilla.firefox" << none << false << automatic << "gecko";
        QTest::newRow("electron marker") << "com.example.Chat" << electron << false << automatic << "udd";
        QTest::newRow("xul marker") << "com.example.Mail" << xul << false << automatic << "gecko";
        QTest::newRow("xul wins over electron") << "com.example.Both" << xul << true << automatic << "gecko";
        QTest::newRow("home mode, chromium") << "com.google.Chrome" << none << false << home << "home";
    }
    void strategy()
    {
        QFETCH(QString, identifier);
        QFETCH(int, marker);
        QFETCH(bool, electronToo);
        QFETCH(int, mode);
        QFETCH(QString, expected);
        FakeBundleOptions options;
        options.identifier = identifier;
        options.marker = BundleMarker(marker);
        const InstalledApp target = app(QStringLiteral("Target"), options);
        if (electronToo)
            QVERIFY(QDir().mkpath(
                target.id() + QStringLiteral("/Contents/Frameworks/Electron Framework.framework")));
        Store store(QStringList { m_apps });
        const QUrl wrapper = store.createSpace(target, QStringLiteral("Work"), Mode(mode));
        QCOMPARE(record(wrapper).value(QStringLiteral("mode")).toString(), expected);
    }

    // A complete wrapper
    void create_writesTheWholeWrapper()
    {
        FakeBundleOptions options;
        options.identifier = QStringLiteral("com.google.Chrome");
        options.binaryPlist = true;
        const InstalledApp target = app(QStringLiteral("Mail"), options);
        Store store(QStringList { m_apps });
        const QUrl wrapper = store.createSpace(target, QStringLiteral("  Work \n"), Mode::Auto);
        const QString path = wrapper.toLocalFile();
        QCOMPARE(path, Store::spacesDir() + QStringLiteral("/Mail - Work.app"));

        // The record the Store decided (tst_roads), written whole: six strings and the badge,
        // the app's first instance taking the palette's first colour.
        QJsonObject json = record(wrapper);
        QCOMPARE(json.take(QStringLiteral("badge")).toObject(), QJsonObject({ { "color", "blue" } }));
        QCOMPARE(json.size(), 6);
        for (const QString &key : json.keys())
            QVERIFY2(json.value(key).isString(), qPrintable(key));
        const QString id = json.value(QStringLiteral("id")).toString();
        QCOMPARE(json.value(QStringLiteral("mode")).toString(), QStringLiteral("udd"));
        const QString dataDir = Store::dataRoot() + QLatin1Char('/') + id;
        QCOMPARE(json.value(QStringLiteral("dataDir")).toString(), dataDir);

        QCOMPARE(readText(path + QStringLiteral("/Contents/Info.plist")),
            infoPlistText(QStringLiteral("Mail - Work"), id));
        const QString launcher = path + QStringLiteral("/Contents/MacOS/launcher");
        QCOMPARE(readText(launcher),
            launcherScript(LaunchStrategy::UserDataDir,
                { dataDir, isolatedHome(), target.id(), QStringLiteral("app") }));
        QCOMPARE(int(QFile::permissions(launcher) & 0x7777), 0x7755);
        QVERIFY(QFileInfo(dataDir).isDir());
        QVERIFY(QDir(dataDir).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));

        const QImage icon = readLargestIcnsImageFile(path + QStringLiteral("/Contents/Resources/app.icns"));
        QCOMPARE(icon.size(), QSize(1024, 1024));
        const QColor disc = icon.pixelColor(393 * 2, 312 * 2);
        QCOMPARE(disc.rgb(), badgeColorValue(QStringLiteral("blue")).rgb()); // the colour recorded

        QCOMPARE(store.spaces().size(), 1);
        QCOMPARE(store.spaces().first().targetPath, std::optional(target.id()));
    }

    // Refusals leave the disk as it was. Their texts are checked once, in tst_texts; here
    // each refusal must be one of a kind: the same text for the same reason, another for another.
    void refusals_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("reason");
        const char *rows[][3] = { { "no Info.plist", "no plist", "unreadable" },
            { "number as executable", "number executable", "unreadable" },
            { "executable name leaving MacOS", "escaping executable", "unreadable" },
            { "executable not executable", "not executable", "no executable" },
            { "sandboxed without executable", "sandboxed, no executable", "no executable" },
            { "sandboxed", "sandboxed", "sandboxed" }, { "wrapper exists", "exists", "exists" } };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
    }
    void refusals()
    {
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        const QString name = QStringLiteral("Work");
        static int serial = 0; // sandbox answers are cached per path: a fresh folder per row
        m_apps = isolatedHome() + QStringLiteral("/Apps/%1").arg(++serial);
        FakeBundleOptions options;
        if (setup.startsWith(QLatin1String("sandboxed"))) {
            ThinOptions thin;
            thin.cpuType = quint32(hostCpu());
            thin.entitlements = entitlementsXml(SandboxValue::True);
            options.executableBytes = buildThin(thin);
            options.omitExecutable = setup.endsWith(QLatin1String("no executable"));
        }
        if (setup == QLatin1String("escaping executable"))
            options.executable = QStringLiteral("../Resources/run"); // an executable script is written there
        if (setup == QLatin1String("number executable")) {
            options.executable.clear();
            options.extraKeys.insert(QStringLiteral("CFBundleExecutable"), 42);
        }
        const InstalledApp target = app(QStringLiteral("Mail"), options);
        const QString contents = target.id() + QStringLiteral("/Contents");
        if (setup == QLatin1String("no plist"))
            QVERIFY(QFile::remove(contents + QStringLiteral("/Info.plist")));
        if (setup == QLatin1String("not executable"))
            QVERIFY(QFile::setPermissions(
                contents + QStringLiteral("/MacOS/app"), QFile::ReadOwner | QFile::WriteOwner));
        Store store(QStringList { m_apps });
        if (setup == QLatin1String("exists"))
            store.createSpace(target, name, Mode::Auto);

        const QStringList before = tree(isolatedHome());
        QStringList messages;
        for (const auto choice : { LanguageManager::Choice::Es, LanguageManager::Choice::En }) {
            LanguageManager::shared().setChoice(choice);
            try {
                store.createSpace(target, name, Mode::Auto);
                QFAIL(qPrintable(QStringLiteral("no refusal in ") + language(choice)));
            } catch (const TandrelError &error) {
                messages << error.errorDescription();
            }
        }
        QCOMPARE(tree(isolatedHome()), before);
        QVERIFY(!messages[0].isEmpty() && messages[0] != messages[1]);
        if (reason == QLatin1String("no executable") || reason == QLatin1String("sandboxed"))
            QVERIFY(
                messages[0].contains(QLatin1String("Mail")) && messages[1].contains(QLatin1String("Mail")));
        static QHash<QString, QString> byReason;
        if (byReason.contains(reason))
            QCOMPARE(messages[1], byReason.value(reason));
        for (auto it = byReason.cbegin(); it != byReason.cend(); ++it)
            QVERIFY2(it.key() == reason || it.value() != messages[1], qPrintable(it.key()));
        byReason.insert(reason, messages[1]);
    }
};

TANDREL_GUI_TEST_MAIN(SpaceCreationTest)
#include "tst_spacecreation.moc"
