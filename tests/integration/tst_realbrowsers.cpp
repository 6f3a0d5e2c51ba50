// The machine's real browsers made into instances from their own desktop entries and run
// headless: the profile must land in the instance's data folder, and nothing in the home's
// .config, .cache or .mozilla; two instances side by side have their own window classes; a
// used profile survives export, delete and import byte for byte. A browser that is not
// installed is skipped.
#include "model/desktop/DesktopInstance.h"
#include "platform/linux/DesktopLauncher.h"
#include "support/FakeBundle.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace tandrel;

namespace {

// Everything under the folders an instance must leave alone.
QStringList sharedFolders()
{
    QStringList paths;
    for (const char *folder : { "/.config", "/.cache", "/.mozilla" }) {
        QDirIterator it(test::isolatedHome() + QLatin1String(folder),
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
            QDirIterator::Subdirectories);
        while (it.hasNext())
            paths << it.next();
    }
    paths.sort();
    return paths;
}

// Runs Chromium from the instance's entry, headless, to load a page and exit; true when it did.
bool runChromiumHeadless(const QString &entry)
{
    // The entry's own command as GIO expands it, made to run headless and exit by itself.
    QStringList command = desktopFileCommandLine(entry);
    command << QStringLiteral("--headless=new") << QStringLiteral("--disable-gpu")
            << QStringLiteral("--no-first-run") << QStringLiteral("--disable-background-networking")
            << QStringLiteral("--disable-component-update") << QStringLiteral("--disable-sync")
            << QStringLiteral("--dump-dom") << QStringLiteral("about:blank");
    if (::geteuid() == 0)
        command << QStringLiteral("--no-sandbox");
    QProcess browser;
    browser.setChildProcessModifier([] { ::setsid(); });
    browser.start(command.takeFirst(), command);
    if (!browser.waitForStarted())
        return false;
    const pid_t group = pid_t(browser.processId());
    const bool exited = browser.waitForFinished(90000);
    ::kill(-group, SIGKILL); // whatever it left running
    if (!exited || browser.exitCode() != 0)
        qWarning("%s", browser.readAllStandardError().right(2000).constData());
    return exited && browser.exitCode() == 0 && browser.readAllStandardOutput().contains("<body></body>");
}

// The SHA-1 of every file below the folder, by relative path.
QMap<QString, QByteArray> fileHashes(const QString &folder)
{
    QMap<QString, QByteArray> hashes;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        QCryptographicHash hash(QCryptographicHash::Sha1);
        if (!QFileInfo(file.fileName()).isSymLink() && file.open(QIODevice::ReadOnly) && hash.addData(&file))
            hashes.insert(file.fileName().mid(folder.size()), hash.result().toHex());
    }
    return hashes;
}

// The executable, in the test's isolated home, without a display.
int runTandrel(const QStringList &arguments, QString *out = nullptr)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TANDREL_EXECUTABLE), arguments);
    if (!process.waitForFinished(120000))
        return -1;
    if (out)
        *out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    if (process.exitCode() != 0)
        qWarning("%s", process.readAllStandardError().constData());
    return process.exitCode();
}

struct Instance
{
    QString entry, data, windowClass;
};

std::optional<Instance> makeInstance(const QString &desktopId, LaunchStrategy expected)
{
    const std::optional<DesktopApp> app
        = readDesktopApp(QStringLiteral("/usr/share/applications/") + desktopId, desktopId);
    if (!app || desktopStrategy(*app, Mode::Auto) != expected)
        return std::nullopt;
    const QString id = test::newInstanceId(), data = desktopDataRoot().value() + QLatin1Char('/') + id;
    const QString entry = writeDesktopInstance(*app,
        { id, QStringLiteral("Test"), data, {}, instanceWindowClass(id), expected },
        instanceEntriesFolder().value());
    return Instance { entry, data, instanceWindowClass(id) };
}

// A second instance beside the first: each names its own window class in its command (as
// `classWords` says) and in its entry.
void checkWindowClasses(
    const Instance &first, const QString &desktopId, LaunchStrategy strategy, const char *classWords)
{
    const Instance second = makeInstance(desktopId, strategy).value();
    QVERIFY(first.windowClass != second.windowClass);
    for (const Instance &instance : { first, second }) {
        QVERIFY(desktopFileCommandLine(instance.entry)
                    .join(QLatin1Char(' '))
                    .contains(QString::fromLatin1(classWords).arg(instance.windowClass)));
        QCOMPARE(readDesktopInstance(instance.entry, instanceEntriesFolder().value()).value().windowClass,
            instance.windowClass);
    }
}

} // namespace

class RealBrowsersTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void chromium()
    {
        const std::optional<Instance> instance
            = makeInstance(QStringLiteral("chromium.desktop"), LaunchStrategy::UserDataDir);
        if (!instance)
            QSKIP("Chromium is not installed (scripts/setup --browsers)");
        const QStringList before = sharedFolders();
        QVERIFY(runChromiumHeadless(instance->entry));
        QVERIFY(QFileInfo(instance->data + QStringLiteral("/profile/Local State")).size() > 0);
        QCOMPARE(sharedFolders(), before);
        checkWindowClasses(
            *instance, QStringLiteral("chromium.desktop"), LaunchStrategy::UserDataDir, "--class=%1");
    }

    // A used profile exported, the instance deleted, then imported: the new instance has
    // the same profile files, byte for byte, and starts with them
    void chromium_exportDeleteImport()
    {
        if (!QFileInfo::exists(QStringLiteral("/usr/share/applications/chromium.desktop")))
            QSKIP("Chromium is not installed (scripts/setup --browsers)");
        QString entry;
        QCOMPARE(
            runTandrel({ QStringLiteral("create"), QStringLiteral("/usr/share/applications/chromium.desktop"),
                           QStringLiteral("Trip") },
                &entry),
            0);
        QVERIFY(runChromiumHeadless(entry));
        QString listed;
        QCOMPARE(runTandrel({ QStringLiteral("list"), QStringLiteral("--json") }, &listed), 0);
        QString data;
        for (const QJsonValue &space : QJsonDocument::fromJson(listed.toUtf8()).array()) {
            if (space[QStringLiteral("wrapper")].toString() == entry)
                data = space[QStringLiteral("dataDir")].toString();
        }
        const QMap<QString, QByteArray> before = fileHashes(data + QStringLiteral("/profile"));
        QVERIFY(before.contains(QStringLiteral("/Local State")));
        const QString archive = QFileInfo(data).path() + QStringLiteral("/../trip.tar.zst");
        QCOMPARE(runTandrel({ QStringLiteral("export"), entry, archive }), 0);
        QCOMPARE(runTandrel({ QStringLiteral("delete"), entry, QStringLiteral("--yes") }), 0);
        QVERIFY(!QFileInfo::exists(data));
        QString imported;
        QCOMPARE(runTandrel({ QStringLiteral("import"), archive }, &imported), 0);
        QVERIFY(imported != entry);
        const QString newData = QFileInfo(data).path() + QLatin1Char('/')
            + QFileInfo(imported).completeBaseName().mid(QStringLiteral("tandrel-").size());
        QCOMPARE(fileHashes(newData + QStringLiteral("/profile")), before);
        QVERIFY(runChromiumHeadless(imported));
    }

    void firefox()
    {
        const std::optional<Instance> instance
            = makeInstance(QStringLiteral("firefox-esr.desktop"), LaunchStrategy::GeckoProfile);
        if (!instance)
            QSKIP("Firefox ESR is not installed (scripts/setup --browsers)");
        const QStringList before = sharedFolders();
        qputenv("MOZ_HEADLESS", "1");
        // Launched by GIO from a child in a session of its own, so that everything the
        // browser starts can be killed as one process group.
        const pid_t launcher = ::fork();
        if (launcher == 0) {
            ::setsid();
            ::_exit(launchDesktopFile(instance->entry) ? 0 : 1);
        }
        QVERIFY(launcher > 0);
        const auto killGroup = qScopeGuard([launcher] { ::kill(-launcher, SIGKILL); }); // on every way out
        int status = 0;
        QVERIFY(::waitpid(launcher, &status, 0) == launcher && WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const QString profile = instance->data + QStringLiteral("/profile");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(profile + QStringLiteral("/prefs.js")).size() > 0, 90000);
        QTest::qWait(3000); // what it writes after its first start-up work
        ::kill(-launcher, SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(::kill(-launcher, 0) != 0, 20000);
        QVERIFY(QFileInfo(profile + QStringLiteral("/compatibility.ini")).size() > 0);
        QVERIFY(QFileInfo(instance->data + QStringLiteral("/config/mozilla")).isDir());
        QCOMPARE(sharedFolders(), before);
        checkWindowClasses(
            *instance, QStringLiteral("firefox-esr.desktop"), LaunchStrategy::GeckoProfile, "--class %1");
    }
};

TANDREL_TEST_MAIN(RealBrowsersTest)
#include "tst_realbrowsers.moc"
