// The machine's real browsers made into instances from their own desktop entries and run
// headless: the profile must land in the instance's data folder, and nothing in the home's
// .config, .cache or .mozilla. A browser that is not installed is skipped.
#include "model/DesktopInstance.h"
#include "platform/linux/DesktopLauncher.h"
#include "support/FakeBundle.h"
#include "support/TestEnvironment.h"

#include <QDirIterator>
#include <QProcess>

#include <csignal>
#include <unistd.h>

using namespace tandrel;

namespace {

// Everything under the folders an instance must leave alone.
QStringList sharedFolders()
{
    QStringList paths;
    for (const char *folder : {"/.config", "/.cache", "/.mozilla"}) {
        QDirIterator it(test::isolatedHome() + QLatin1String(folder), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            paths << it.next();
    }
    paths.sort();
    return paths;
}

QByteArray procFile(const QString &pid, const char *name)
{
    QFile file(QStringLiteral("/proc/") + pid + QLatin1Char('/') + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.read(64 * 1024) : QByteArray();
}

// Kills, by id, the processes whose command line names the folder and all they started.
void killProcessesOf(const QString &folder)
{
    QSet<QString> doomed;
    QHash<QString, QString> parents;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (pid.toInt() <= 0)
            continue;
        const QByteArray stat = procFile(pid, "stat");
        parents[pid] = QString::fromLatin1(stat.mid(stat.lastIndexOf(')') + 2).split(' ').value(1));
        if (procFile(pid, "cmdline").replace('\0', ' ').contains(folder.toUtf8()))
            doomed << pid;
    }
    for (qsizetype before = -1; before != doomed.size();) {
        before = doomed.size();
        for (auto it = parents.cbegin(); it != parents.cend(); ++it)
            if (doomed.contains(it.value()))
                doomed << it.key();
    }
    for (const QString &pid : std::as_const(doomed))
        ::kill(pid.toInt(), SIGKILL);
    QTRY_VERIFY_WITH_TIMEOUT(std::none_of(doomed.cbegin(), doomed.cend(), [](const QString &pid) { return QFile::exists(QStringLiteral("/proc/") + pid); }), 20000);
}

struct Instance
{
    QString entry;
    QString data;
    QString windowClass;
};

std::optional<Instance> makeInstance(const QString &desktopId, LaunchStrategy expected)
{
    const std::optional<DesktopApp> app = readDesktopApp(QStringLiteral("/usr/share/applications/") + desktopId, desktopId);
    if (!app || desktopStrategy(*app, Mode::Auto) != expected)
        return std::nullopt;
    const QString id = test::newInstanceId();
    const Instance made{{}, desktopDataRoot().value() + QLatin1Char('/') + id, instanceWindowClass(id)};
    return Instance{writeDesktopInstance(*app, {id, QStringLiteral("Test"), made.data, {}, made.windowClass, expected}, instanceEntriesFolder().value()),
                    made.data, made.windowClass};
}

} // namespace

class RealBrowsersTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void chromium()
    {
        const std::optional<Instance> instance = makeInstance(QStringLiteral("chromium.desktop"), LaunchStrategy::UserDataDir);
        if (!instance)
            QSKIP("Chromium is not installed (scripts/setup --browsers)");
        const QStringList before = sharedFolders();
        // The entry's own command as GIO expands it, made to run headless and exit by itself.
        QStringList command = desktopFileCommandLine(instance->entry);
        command << QStringLiteral("--headless=new") << QStringLiteral("--disable-gpu") << QStringLiteral("--no-first-run")
                << QStringLiteral("--disable-background-networking") << QStringLiteral("--disable-component-update")
                << QStringLiteral("--disable-sync") << QStringLiteral("--dump-dom") << QStringLiteral("about:blank");
        if (::geteuid() == 0)
            command << QStringLiteral("--no-sandbox");
        QProcess browser;
        browser.setChildProcessModifier([] { ::setsid(); });
        browser.start(command.takeFirst(), command);
        QVERIFY(browser.waitForStarted());
        const pid_t group = pid_t(browser.processId());
        const bool exited = browser.waitForFinished(90000);
        ::kill(-group, SIGKILL); // whatever it left running
        QVERIFY2(exited && browser.exitCode() == 0, browser.readAllStandardError().right(2000).constData());
        QVERIFY(browser.readAllStandardOutput().contains("<body></body>"));
        QVERIFY(QFileInfo(instance->data + QStringLiteral("/profile/Local State")).size() > 0);
        QVERIFY(QFileInfo(instance->data + QStringLiteral("/profile/Default")).isDir());
        QCOMPARE(sharedFolders(), before);
    }

    void firefox()
    {
        const std::optional<Instance> instance = makeInstance(QStringLiteral("firefox-esr.desktop"), LaunchStrategy::GeckoProfile);
        if (!instance)
            QSKIP("Firefox ESR is not installed (scripts/setup --browsers)");
        const QStringList before = sharedFolders();
        qputenv("MOZ_HEADLESS", "1");
        QVERIFY(launchDesktopFile(instance->entry));
        const QString profile = instance->data + QStringLiteral("/profile");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(profile + QStringLiteral("/prefs.js")).size() > 0, 90000);
        QTest::qWait(3000); // what it writes after its first start-up work
        killProcessesOf(profile);
        QVERIFY(QFileInfo(profile + QStringLiteral("/compatibility.ini")).size() > 0);
        QVERIFY(QFileInfo(instance->data + QStringLiteral("/config/mozilla")).isDir());
        QCOMPARE(sharedFolders(), before);
    }

    void twoInstances_haveTheirOwnWindowClass_data()
    {
        QTest::addColumn<QString>("desktopId");
        QTest::addColumn<LaunchStrategy>("strategy");
        QTest::addColumn<QString>("classWords"); // how the command names the class
        QTest::newRow("Chromium") << "chromium.desktop" << LaunchStrategy::UserDataDir << "--class=%1";
        QTest::newRow("Firefox ESR") << "firefox-esr.desktop" << LaunchStrategy::GeckoProfile << "--class %1";
    }
    void twoInstances_haveTheirOwnWindowClass()
    {
        QFETCH(QString, desktopId);
        QFETCH(LaunchStrategy, strategy);
        QFETCH(QString, classWords);
        const std::optional<Instance> first = makeInstance(desktopId, strategy), second = makeInstance(desktopId, strategy);
        if (!first || !second)
            QSKIP("not installed (scripts/setup --browsers)");
        QVERIFY(first->windowClass != second->windowClass);
        for (const Instance &instance : {*first, *second}) {
            QVERIFY(desktopFileCommandLine(instance.entry).join(QLatin1Char(' ')).contains(classWords.arg(instance.windowClass)));
            QCOMPARE(readDesktopInstance(instance.entry, instanceEntriesFolder().value()).value().windowClass, instance.windowClass);
        }
    }
};

TANDREL_TEST_MAIN(RealBrowsersTest)
#include "tst_realbrowsers.moc"
