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

    // The freedesktop workspace: bundles are plain folders here, so it runs for real.
    // (The macOS one hands everything to the system and is not run by tests.)
#if !defined(Q_OS_DARWIN)
    void openApplication_startsOnlyAnExecutableInsideTheBundle_data()
    {
        QTest::addColumn<QString>("executable"); // relative to the bundle; empty: none given
        QTest::addColumn<bool>("starts");
        QTest::newRow("its own executable") << "Contents/MacOS/app" << true;
        QTest::newRow("none given") << "" << false;
        QTest::newRow("outside Contents/MacOS") << "Contents/Resources/run" << false;
        QTest::newRow("not executable") << "Contents/Info.plist" << false;
    }
    void openApplication_startsOnlyAnExecutableInsideTheBundle()
    {
        QFETCH(QString, executable);
        QFETCH(bool, starts);
        QTemporaryDir dir;
        FakeBundleOptions options;
        options.recordFile = dir.filePath(QStringLiteral("bad.launched"));
        const QString bad = makeFakeBundle(dir.path(), QStringLiteral("Mail & Co"), options);
        // The same recording script elsewhere in the bundle, so only the rule stops it.
        QFile::copy(
            bad + QStringLiteral("/Contents/MacOS/app"), bad + QStringLiteral("/Contents/Resources/run"));
        LinuxWorkspace workspace;
        workspace.openApplication(
            QUrl::fromLocalFile(bad), executable.isEmpty() ? QString() : bad + QLatin1Char('/') + executable);
        // A good bundle opened afterwards has run by the time its record is there.
        const QString good = makeFakeBundle(dir.path(), QStringLiteral("Good"));
        workspace.openApplication(QUrl::fromLocalFile(good), good + QStringLiteral("/Contents/MacOS/app"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(launchRecordPath(good)), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(QFile::exists(options.recordFile), starts, 20000);
        if (starts)
            QCOMPARE(readLaunchRecord(options.recordFile)->arguments, QStringList());
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
