#include "formats/Icns.h"
#include "model/AppIcons.h"
#include "model/bundle/BundleIcon.h"
#include "platform/FileSystem.h"
#include "support/FakeBundle.h"
#include "support/TestEnvironment.h"

#include <QSignalSpy>

using namespace tandrel;
using namespace tandrel::test;

// A bundle's icon as Info.plist names it, on a platform that draws no bundle icons.
struct IconCase
{
    QString iconFile; // CFBundleIconFile; empty leaves it out
    QList<int> sizes; // images of the named file; empty writes none
    QString extraFile; // a further ICNS, relative to the bundle...
    QList<int> extraSizes; // ...with these images
    QByteArray iconBytes; // written as the icon file instead, when set
    bool binaryPlist = false;
};
Q_DECLARE_METATYPE(IconCase)

class AppIconsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bundleIcon_largestImageOfTheNamedFile_data()
    {
        QTest::addColumn<IconCase>("bundle");
        QTest::addColumn<int>("largest"); // 0: no icon of its own
        QTest::newRow("named with .icns") << IconCase { "AppIcon.icns", { 16, 128, 512 }, {}, {}, {} } << 512;
        QTest::newRow("binary Info.plist") << IconCase { "AppIcon", { 128, 1024 }, {}, {}, {}, true } << 1024;
        QTest::newRow("dotted name meant without .icns") << IconCase { "com.example.mail", {},
            "Contents/Resources/com.example.mail.icns", { 16, 128 }, {} }
                                                         << 128;
        QTest::newRow("no CFBundleIconFile") << IconCase { {}, {}, {}, {}, {} } << 0;
        QTest::newRow("garbage") << IconCase { "AppIcon", {}, {}, {}, "icns garbage" } << 0;
        QTest::newRow("name leaving Resources")
            << IconCase { "../Outside.icns", {}, "Contents/Outside.icns", { 512 }, {} } << 0;
    }
    void bundleIcon_largestImageOfTheNamedFile()
    {
        QFETCH(IconCase, bundle);
        QFETCH(int, largest);
        QTemporaryDir dir;
        FakeBundleOptions options;
        options.iconFile = bundle.iconFile;
        options.iconSizes = bundle.sizes;
        options.binaryPlist = bundle.binaryPlist;
        if (!bundle.iconBytes.isEmpty())
            options.iconBytes = bundle.iconBytes;
        const QString path = makeFakeBundle(dir.path(), QStringLiteral("Mail"), options);
        if (!bundle.extraFile.isEmpty()) {
            QList<QImage> images;
            for (int size : std::as_const(bundle.extraSizes))
                images.append(fakeIconImage(size));
            fs::writeBytes(path + QLatin1Char('/') + bundle.extraFile, icnsFromImages(images));
        }
        const QImage icon = bundleIcon(path);
        QCOMPARE(icon.width(), largest);
        if (largest)
            QCOMPARE(icon.pixel(largest / 2, largest / 2), fakeIconColor(largest).rgb());
        // What the window shows is never nothing.
        QCOMPARE(iconForFile(path), largest ? icon : genericApplicationIcon());
    }

    void bundleIcon_onlyForBundleFolders_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("folder not named .app") << "Folder";
        QTest::newRow("a plain file named .app") << "File.app";
    }
    void bundleIcon_onlyForBundleFolders()
    {
        QFETCH(QString, path);
        QTemporaryDir dir;
        FakeBundleOptions options;
        options.iconFile = QStringLiteral("AppIcon");
        options.iconSizes = { 64 };
        QVERIFY(QFile::rename(makeFakeBundle(dir.path(), QStringLiteral("Mail"), options),
            dir.filePath(QStringLiteral("Folder"))));
        fs::writeBytes(dir.filePath(QStringLiteral("File.app")), "not a folder");
        QVERIFY(bundleIcon(dir.filePath(path)).isNull());
        QCOMPARE(iconForFile(dir.filePath(path)), genericApplicationIcon());
    }

    void cache_readsInTheBackgroundAndForgetsOnClear()
    {
        QTemporaryDir dir;
        FakeBundleOptions options;
        options.iconFile = QStringLiteral("AppIcon");
        options.iconSizes = { 16, 1024 };
        const QString path = makeFakeBundle(dir.path(), QStringLiteral("Mail"), options);
        IconCache &cache = IconCache::shared();
        QSignalSpy loaded(&cache, &IconCache::iconLoaded);
        QVERIFY(cache.icon(path).isNull());
        QVERIFY(loaded.wait(20000));
        QCOMPARE(loaded.first().first().toString(), path);
        QCOMPARE(cache.icon(path).width(), IconCache::maxSide);
        // A refresh forgets it, and a read begun before the refresh is dropped.
        cache.clear();
        QVERIFY(cache.icon(path).isNull());
        cache.clear();
        QTest::qWait(200);
        QCOMPARE(loaded.size(), 1);
        QVERIFY(cache.icon(path).isNull());
        QVERIFY(loaded.wait(20000));
        QVERIFY(!cache.icon(path).isNull());
    }
};

TANDREL_GUI_TEST_MAIN(AppIconsTest)
#include "tst_appicons.moc"
