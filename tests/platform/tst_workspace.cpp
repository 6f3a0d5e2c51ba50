#include "formats/Icns.h"
#include "platform/FileSystem.h"
#include "platform/PlatformWorkspace.h"
#if !defined(Q_OS_DARWIN)
#include "platform/linux/LinuxWorkspace.h"
#endif
#include "support/FakeBundle.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

using namespace tandrel;
using namespace tandrel::test;

namespace {
#if !defined(Q_OS_DARWIN)

// Stands in for the file manager on a private session bus.
class FileManagerStub : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> shown;
    QStringList startupIds;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        shown.append(uris);
        startupIds.append(startupId);
    }
};

const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");
const QString fileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");

void touch(const QString &path, int secondsLater)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(file.fileTime(QFileDevice::FileModificationTime).addSecs(secondsLater),
        QFileDevice::FileModificationTime));
}

#endif
} // namespace

class WorkspaceTest : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QProcess m_bus;
    bool m_busReady = false;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
#if !defined(Q_OS_DARWIN)
        // A private session bus without service files, so that nothing the machine has
        // installed (a real file manager) is reached or started.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tandrel-test-bus");
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        fs::writeBytes(config,
            QStringLiteral(
                "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>\n"
                "<policy context=\"default\"><allow send_destination=\"*\"/><allow own=\"*\"/>\n"
                "<allow receive_sender=\"*\"/></policy>\n"
                "</busconfig>\n")
                .arg(m_dir.path())
                .toUtf8());
        m_bus.start(daemon,
            { QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                QStringLiteral("--config-file=") + config });
        if (!m_bus.waitForStarted() || !m_bus.waitForReadyRead())
            return;
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
        m_busReady = QDBusConnection::sessionBus().isConnected();
#endif
    }

    void cleanupTestCase()
    {
        if (m_bus.state() != QProcess::NotRunning) {
            m_bus.kill();
            m_bus.waitForFinished();
        }
    }

    void shared_isPlatformUnlessReplaced()
    {
        QCOMPARE(&Workspace::shared(), &platformWorkspace());
        {
            RecordingWorkspace recording;
            recording.install();
            QCOMPARE(&Workspace::shared(), &recording);
        }
        QCOMPARE(&Workspace::shared(), &platformWorkspace());
#if !defined(Q_OS_DARWIN)
        QVERIFY(dynamic_cast<LinuxWorkspace *>(&platformWorkspace()));
#endif
    }

    void genericIcon_isDrawnAndNeverNull()
    {
        const QImage icon = genericApplicationIcon();
        QCOMPARE(icon.size(), QSize(512, 512));
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0); // rounded tile: the corner is clear
        QCOMPARE(qAlpha(icon.pixel(256, 256)), 255); // and the middle is painted
        QCOMPARE(genericApplicationIcon(), icon);
    }

    // The freedesktop workspace: bundles are plain folders here, so it runs for real.
    // (The macOS one hands everything to the system and is not run by tests.)
#if !defined(Q_OS_DARWIN)
    // Icons
    void icon_readsBundleIcnsOrFallsBack_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("largest"); // 0: the generic icon
        QTest::newRow("icns with 16, 128, 512") << "sizes" << 512;
        QTest::newRow("icon name without extension") << "no-extension" << 256;
        QTest::newRow("binary Info.plist") << "binary" << 1024;
        QTest::newRow("dotted name without .icns") << "dotted" << 128;
        QTest::newRow("path with trailing slash") << "slash" << 512;
        QTest::newRow("no CFBundleIconFile") << "no-key" << 0;
        QTest::newRow("CFBundleIconFile not a string") << "not-string" << 0;
        QTest::newRow("icon file missing") << "missing-file" << 0;
        QTest::newRow("garbage icns") << "garbage" << 0;
        QTest::newRow("icon name leaving Resources") << "escape" << 0;
        QTest::newRow("no Info.plist") << "no-plist" << 0;
        QTest::newRow("folder not named .app") << "not-app" << 0;
        QTest::newRow("a plain file") << "file" << 0;
        QTest::newRow("missing path") << "missing" << 0;
    }
    void icon_readsBundleIcnsOrFallsBack()
    {
        QFETCH(QString, kind);
        QFETCH(int, largest);
        QTemporaryDir dir;
        FakeBundleOptions options;
        options.iconFile = QStringLiteral("AppIcon.icns");
        options.iconSizes = { 16, 128, 512 };
        QString name = QStringLiteral("Mail");
        QString path;
        if (kind == QLatin1String("no-extension")) {
            options.iconFile = QStringLiteral("AppIcon");
            options.iconSizes = { 32, 256 };
        } else if (kind == QLatin1String("binary")) {
            options.binaryPlist = true;
            options.iconSizes = { 128, 1024 };
        } else if (kind == QLatin1String("dotted")) {
            options.iconFile = QStringLiteral("com.example.mail");
            options.iconSizes = {};
        } else if (kind == QLatin1String("no-key")) {
            options.iconFile.clear();
        } else if (kind == QLatin1String("not-string")) {
            options.iconFile.clear();
            options.extraKeys.insert(QStringLiteral("CFBundleIconFile"), 7);
        } else if (kind == QLatin1String("missing-file")) {
            options.iconSizes = {};
        } else if (kind == QLatin1String("garbage")) {
            options.iconBytes = QByteArray("icns\0\0\0\x20"
                                           "ic09\0\0\0\x18"
                                           "not a png at all",
                32);
        } else if (kind == QLatin1String("escape")) {
            options.iconFile = QStringLiteral("../Outside.icns");
            options.iconSizes = {};
        } else if (kind == QLatin1String("not-app")) {
            name = QStringLiteral("Folder");
        }
        path = makeFakeBundle(dir.path(), name, options);
        if (kind == QLatin1String("dotted"))
            fs::writeBytes(path + QStringLiteral("/Contents/Resources/com.example.mail.icns"),
                icnsFromImages({ fakeIconImage(16), fakeIconImage(128) }));
        if (kind == QLatin1String("escape")) // a real icon, but outside Contents/Resources
            fs::writeBytes(
                path + QStringLiteral("/Contents/Outside.icns"), icnsFromImage(fakeIconImage(512)));
        if (kind == QLatin1String("no-plist"))
            fs::removeItem(path + QStringLiteral("/Contents/Info.plist"));
        if (kind == QLatin1String("not-app")) {
            const QString renamed = dir.filePath(QStringLiteral("Folder"));
            QVERIFY(QFile::rename(path, renamed));
            path = renamed;
        }
        if (kind == QLatin1String("slash"))
            path += QLatin1Char('/');
        if (kind == QLatin1String("file")) {
            path = dir.filePath(QStringLiteral("Notes.app"));
            fs::writeBytes(path, "not a folder");
        }
        if (kind == QLatin1String("missing"))
            path = dir.filePath(QStringLiteral("Gone.app"));

        LinuxWorkspace workspace;
        const QImage icon = workspace.iconForFile(path);
        QVERIFY(!icon.isNull());
        if (largest == 0) {
            QCOMPARE(icon, genericApplicationIcon());
        } else {
            QCOMPARE(icon.size(), QSize(largest, largest));
            QCOMPARE(icon.pixel(largest / 2, largest / 2), fakeIconColor(largest).rgb());
        }
    }

    void icon_secondRequestComesFromCache()
    {
        QTemporaryDir dir;
        FakeBundleOptions options;
        options.iconFile = QStringLiteral("AppIcon");
        options.iconSizes = { 16, 512 };
        const QString bundle = makeFakeBundle(dir.path(), QStringLiteral("Mail"), options);
        LinuxWorkspace workspace;
        const QImage first = workspace.iconForFile(bundle);
        QCOMPARE(workspace.iconDecodeCount(), 1);
        const QImage second = workspace.iconForFile(bundle);
        QCOMPARE(workspace.iconDecodeCount(), 1);
        QCOMPARE(second, first);
    }

    void icon_changedFileIsReadAgain_data()
    {
        QTest::addColumn<QList<int>>("newSizes"); // empty: only touched
        QTest::addColumn<int>("largest");
        QTest::newRow("rewritten with a larger image") << QList<int> { 16, 1024 } << 1024;
        QTest::newRow("touched only") << QList<int> {} << 128;
    }
    void icon_changedFileIsReadAgain()
    {
        QFETCH(QList<int>, newSizes);
        QFETCH(int, largest);
        QTemporaryDir dir;
        FakeBundleOptions options;
        options.iconFile = QStringLiteral("AppIcon.icns");
        options.iconSizes = { 16, 128 };
        const QString bundle = makeFakeBundle(dir.path(), QStringLiteral("Mail"), options);
        const QString iconPath = bundle + QStringLiteral("/Contents/Resources/AppIcon.icns");
        LinuxWorkspace workspace;
        QCOMPARE(workspace.iconForFile(bundle).width(), 128);

        if (!newSizes.isEmpty()) {
            QList<QImage> images;
            for (int size : newSizes)
                images.append(fakeIconImage(size));
            fs::writeBytes(iconPath, icnsFromImages(images));
        }
        touch(iconPath, 60); // a distinct time even on coarse clocks

        QCOMPARE(workspace.iconForFile(bundle).width(), largest);
        QCOMPARE(workspace.iconDecodeCount(), 2);
    }

    void icon_undecodableIconIsNotDecodedAgain()
    {
        QTemporaryDir dir;
        FakeBundleOptions options;
        options.iconFile = QStringLiteral("AppIcon");
        options.iconBytes = QByteArray("icns garbage");
        const QString bundle = makeFakeBundle(dir.path(), QStringLiteral("Mail"), options);
        LinuxWorkspace workspace;
        QCOMPARE(workspace.iconForFile(bundle), genericApplicationIcon());
        QCOMPARE(workspace.iconForFile(bundle), genericApplicationIcon());
        QCOMPARE(workspace.iconDecodeCount(), 1);
    }

    void icon_cacheIsBounded()
    {
        // More 1024-pixel icons than the cache holds: the oldest must be decoded again,
        // the newest still comes from the cache.
        QTemporaryDir dir;
        FakeBundleOptions options;
        options.iconFile = QStringLiteral("AppIcon");
        options.iconSizes = { 1024 };
        const int count = int(LinuxWorkspace::maxCachedIconPixels / (1024 * 1024)) + 4;
        QStringList bundles;
        for (int i = 0; i < count; ++i)
            bundles.append(makeFakeBundle(dir.path(), QStringLiteral("App %1").arg(i), options));
        LinuxWorkspace workspace;
        for (const QString &bundle : std::as_const(bundles))
            workspace.iconForFile(bundle);
        QCOMPARE(workspace.iconDecodeCount(), count);
        workspace.iconForFile(bundles.last());
        QCOMPARE(workspace.iconDecodeCount(), count);
        workspace.iconForFile(bundles.first());
        QCOMPARE(workspace.iconDecodeCount(), count + 1);
    }

    // Opening
    void openApplication_startsExecutable_data()
    {
        QTest::addColumn<bool>("binaryPlist");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("XML Info.plist") << false << "";
        QTest::newRow("binary Info.plist") << true << "";
        QTest::newRow("URL with trailing slash") << false << "/";
    }
    void openApplication_startsExecutable()
    {
        QFETCH(bool, binaryPlist);
        QFETCH(QString, suffix);
        QTemporaryDir dir;
        FakeBundleOptions options;
        options.binaryPlist = binaryPlist;
        options.executable = QStringLiteral("Mail Helper");
        const QString bundle = makeFakeBundle(dir.path(), QStringLiteral("Mail & Co"), options);
        LinuxWorkspace workspace;
        workspace.openApplication(QUrl::fromLocalFile(bundle + suffix));
        const QString recordFile = launchRecordPath(bundle);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(recordFile), 20000);
        const std::optional<LaunchRecord> record = readLaunchRecord(recordFile);
        QVERIFY(record);
        QCOMPARE(record->home, isolatedHome());
        QCOMPARE(record->arguments, QStringList());
    }

    void openApplication_doesNothingWhenIncomplete_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("no Info.plist") << "no-plist";
        QTest::newRow("no CFBundleExecutable") << "no-key";
        QTest::newRow("CFBundleExecutable not a string") << "not-string";
        QTest::newRow("executable missing") << "missing";
        QTest::newRow("executable outside Contents/MacOS") << "escape";
        QTest::newRow("not a local URL") << "remote";
    }
    void openApplication_doesNothingWhenIncomplete()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        // Every bad bundle has a runnable recording script; only the way to it is broken.
        FakeBundleOptions options;
        options.recordFile = dir.filePath(QStringLiteral("bad.launched"));
        if (kind == QLatin1String("escape"))
            options.executable = QStringLiteral("../Resources/run"); // the script is written there
        const QString bundle = makeFakeBundle(dir.path(), QStringLiteral("Bad"), options);
        const QString infoPlist = bundle + QStringLiteral("/Contents/Info.plist");
        if (kind == QLatin1String("no-plist"))
            fs::removeItem(infoPlist);
        if (kind == QLatin1String("no-key"))
            fs::writeBytes(infoPlist, encodePropertyList({}, false));
        if (kind == QLatin1String("not-string"))
            fs::writeBytes(infoPlist,
                encodePropertyList(
                    { { QStringLiteral("CFBundleExecutable"), QStringList { QStringLiteral("app") } } },
                    false));
        if (kind == QLatin1String("missing"))
            fs::removeItem(bundle + QStringLiteral("/Contents/MacOS/app"));
        const QUrl url = kind == QLatin1String("remote")
            ? QUrl(QStringLiteral("https://example.com") + bundle)
            : QUrl::fromLocalFile(bundle);

        LinuxWorkspace workspace;
        workspace.openApplication(url);
        // A good bundle opened afterwards has run by the time its record is there; a
        // wrongly started bad one would have been started first.
        const QString good = makeFakeBundle(dir.path(), QStringLiteral("Good"));
        workspace.openApplication(QUrl::fromLocalFile(good));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(launchRecordPath(good)), 20000);
        QVERIFY(!QFile::exists(options.recordFile));
    }

    // Revealing
    void reveal_asksFileManagerOverDBus()
    {
        if (!m_busReady)
            QSKIP("needs dbus-daemon for a private session bus");
        QDBusConnection bus = QDBusConnection::sessionBus();
        FileManagerStub stub;
        QVERIFY(bus.registerObject(fileManagerPath, &stub, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(fileManagerService));
        const auto unregister = qScopeGuard([&bus] {
            bus.unregisterService(fileManagerService);
            bus.unregisterObject(fileManagerPath);
        });

        QList<QUrl> opened;
        LinuxWorkspace workspace([&opened](const QUrl &folder) { opened.append(folder); });
        // Remote items are skipped, and a call with none left is not made at all.
        workspace.activateFileViewerSelecting({ QUrl(QStringLiteral("https://example.com/a")) });
        workspace.activateFileViewerSelecting(
            { QUrl::fromLocalFile(QStringLiteral("/Users/José/Applications/Mail #1 ?.app")),
                QUrl(QStringLiteral("https://example.com/b")),
                QUrl::fromLocalFile(QStringLiteral("/tmp/Café 100%.txt")) });
        QTRY_COMPARE_WITH_TIMEOUT(stub.shown.size(), 1, 20000);
        QCOMPARE(stub.shown.first(),
            (QStringList { QStringLiteral("file:///Users/Jos%C3%A9/Applications/Mail%20%231%20%3F.app"),
                QStringLiteral("file:///tmp/Caf%C3%A9%20100%25.txt") }));
        QCOMPARE(stub.startupIds.first(), QString());
        QVERIFY(opened.isEmpty());
    }

    void reveal_withoutFileManagerOpensParentFolders()
    {
        if (!m_busReady)
            QSKIP("needs dbus-daemon for a private session bus");
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(fileManagerService));
        QList<QUrl> opened;
        LinuxWorkspace workspace([&opened](const QUrl &folder) { opened.append(folder); });
        workspace.activateFileViewerSelecting({ QUrl::fromLocalFile(QStringLiteral("/srv/apps/Mail.app/")),
            QUrl::fromLocalFile(QStringLiteral("/srv/apps/Notes.app")),
            QUrl::fromLocalFile(QStringLiteral("/srv/other/file.txt")) });
        QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 2, 30000);
        QCOMPARE(opened,
            (QList<QUrl> { QUrl::fromLocalFile(QStringLiteral("/srv/apps")),
                QUrl::fromLocalFile(QStringLiteral("/srv/other")) }));
    }
#endif
};

TANDREL_TEST_MAIN(WorkspaceTest)
#include "tst_workspace.moc"
