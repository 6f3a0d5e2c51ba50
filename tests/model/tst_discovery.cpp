#include "formats/MachOSignature.h"
#include "model/Store.h"
#include "platform/FileSystem.h"
#include "support/FakeBundle.h"
#include "support/MachOBuilder.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThreadPool>

using namespace tandrel;
using namespace tandrel::test;

namespace {

QStringList ids(const QList<InstalledApp> &apps)
{
    QStringList result;
    for (const InstalledApp &app : apps)
        result << app.id();
    return result;
}

QByteArray executable(bool sandboxed)
{
    ThinOptions options;
    options.cpuType = quint32(hostCpu());
    options.entitlements = entitlementsXml(sandboxed ? SandboxValue::True : SandboxValue::False);
    return buildThin(options);
}

} // namespace

class DiscoveryTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_system; // stands in for /Applications
    QString m_user; // <home>/Applications

    QString bundle(const QString &folder, const QString &name, bool sandboxed = false)
    {
        FakeBundleOptions options;
        options.executableBytes = executable(sandboxed);
        return makeFakeBundle(folder, name, options);
    }

private Q_SLOTS:
    void init()
    {
        static int serial = 0; // sandbox answers are cached per path: fresh folders every time
        m_system = m_root.filePath(QStringLiteral("system%1").arg(++serial));
        m_user = isolatedHome() + QStringLiteral("/Applications");
        QDir(m_user).removeRecursively();
        QDir().mkpath(m_system);
        QDir().mkpath(m_user);
    }

    void listsBothFoldersSortedWithExclusions()
    {
        const QString xcode = bundle(m_system, QStringLiteral("Xcode"));
        const QString calendar = bundle(m_system, QStringLiteral("calendar"));
        const QString safariSystem = bundle(m_system, QStringLiteral("Safari"));
        const QString safariUser = bundle(m_user, QStringLiteral("Safari"));
        bundle(m_system, QStringLiteral("Tandrel"));
        bundle(m_user, QStringLiteral("Tandrel"));
        const QString lowerTandrel = bundle(m_user, QStringLiteral("tandrel"));
        QDir().mkpath(m_system + QStringLiteral("/Shouting.APP"));
        QDir().mkpath(m_system + QStringLiteral("/Utilities/Nested.app"));
        fs::writeBytes(m_system + QStringLiteral("/README"), "x");
        QDir().mkpath(m_user + QStringLiteral("/Tandrel/Mail - Work.app"));

        Store store(QStringList { m_system, m_user });
        QCOMPARE(
            ids(store.apps()), (QStringList { calendar, safariSystem, safariUser, lowerTandrel, xcode }));
    }

    void accentedNamesSortWithTheirLetterInTheCLocale()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale::c());
        const auto restore = qScopeGuard([&saved] { QLocale::setDefault(saved); });
        const QString zebra = bundle(m_system, QStringLiteral("Zebra"));
        const QString apfel = bundle(m_system, QStringLiteral("Äpfel"));
        const QString banana = bundle(m_system, QStringLiteral("banana"));
        Store store(QStringList { m_system });
        QCOMPARE(ids(store.apps()), (QStringList { apfel, banana, zebra }));
    }

    void sandboxedPathsArriveLaterOnTheMainThread()
    {
        const QString locked = bundle(m_system, QStringLiteral("Locked"), true);
        bundle(m_system, QStringLiteral("Open"), false);
        const QString lockedUser = bundle(m_user, QStringLiteral("Locked"), true);
        Store store(QStringList { m_system, m_user });
        QSignalSpy spy(&store, &Store::sandboxedPathsChanged);
        QCOMPARE(store.apps().size(), 3);
        QVERIFY(store.sandboxedPaths().isEmpty()); // published only once the job's answer comes back
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(store.sandboxedPaths(), (QSet<QString> { locked, lockedUser }));

        // A second refresh keeps the old set until its own job answers, then replaces it whole.
        QDir(locked).removeRecursively(); // cached answers stand; only the listing changes
        store.refresh();
        QCOMPARE(store.sandboxedPaths(), (QSet<QString> { locked, lockedUser }));
        QTRY_COMPARE(spy.count(), 2);
        QCOMPARE(store.sandboxedPaths(), QSet<QString> { lockedUser });
    }

    void olderRefreshFinishingLast_neverReplacesANewerOne()
    {
        const QString first = bundle(m_system, QStringLiteral("First"));
        const QString second = bundle(m_user, QStringLiteral("Second"));
        Store store(QStringList { m_system });
        QSignalSpy spy(&store, &Store::sandboxedPathsChanged);
        QTRY_COMPARE(spy.count(), 1);
        // Every app counts as sandboxed here; the older job waits until the newer has published.
        QSemaphore olderMayFinish;
        store.setDetector([&olderMayFinish, first](const QList<InstalledApp> &apps) {
            QSet<QString> all;
            for (const InstalledApp &app : apps)
                all.insert(app.id());
            if (all.contains(first))
                olderMayFinish.acquire();
            return all;
        });
        store.refresh();
        store.setApplicationFolders(QStringList { m_user });
        store.refresh();
        QTRY_COMPARE(store.sandboxedPaths(), QSet<QString> { second });
        olderMayFinish.release();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(60000));
        QCoreApplication::processEvents();
        QCOMPARE(store.sandboxedPaths(), QSet<QString> { second });
        QCOMPARE(ids(store.apps()), QStringList { second });
    }

    void storeDestroyedBeforeItsJobFinishes_isNotTouched()
    {
        for (int i = 0; i < 60; ++i)
            bundle(m_system, QStringLiteral("App %1").arg(i), i % 2);
        auto *store = new Store(QStringList { m_system });
        delete store;
        QVERIFY(QThreadPool::globalInstance()->waitForDone(60000));
        QCoreApplication::processEvents(); // the pending answer finds no Store and is dropped
    }
};

TANDREL_TEST_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
